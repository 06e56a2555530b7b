// The query members of FileSysInfo, answered here; the class forwards to them inside its
// error guard. Each takes the member's arguments and gives the member's HRESULT; a failure the
// caller sees as an automation error is thrown as RaisedError.
#pragma once

#include <windows.h>

#include "frame/zankit_interfaces.h"

namespace zankit::fileinfo {

HRESULT SysInfo(zanSysInfoType infoType, VARIANT* result);
HRESULT FileInfo(BSTR fileSpec, zanFileInfoType infoType, VARIANT* result);
HRESULT DriveInfo(BSTR driveSpec, zanDriveInfoType infoType, VARIANT* result);
HRESULT CdRomPresent(BSTR* result);
HRESULT FolderInfo(BSTR folderSpec, zanFolderInfoType infoType, VARIANT* result);

}  // namespace zankit::fileinfo
