// The answers of FileSysInfo.zanDriveInfo, for the member and for the folder queries.
#pragma once

#include <string>

#include "frame/variant.h"

namespace zankit::fileinfo {

// Fills `answer` for one question about the drive of `driveSpec` (a letter, "C:" or any path
// on the drive; "" for the drive of the current folder). Left Empty when it does not apply.
void DriveInfoAnswer(const std::wstring& driveSpec, long infoType, Variant& answer);

// True when the drive of `driveSpec` is in the system's drive list.
bool DriveExists(const std::wstring& driveSpec);

}  // namespace zankit::fileinfo
