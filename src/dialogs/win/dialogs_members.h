// The dialog members of FileSysInfo, shown from here; the class forwards to them inside its
// error guard. Each takes the member's arguments and gives the member's HRESULT.
#pragma once

#include <windows.h>

#include "frame/zankit_interfaces.h"

namespace zankit::dialogs {

HRESULT BrowseForFolder(BSTR selectedFolder, BSTR* rootFolder, zanBrowseModeConstants* browseMode, BSTR* prompt,
                        BSTR* caption, LONG* hwndOwner, BSTR* result);
HRESULT BrowseForFile(BSTR* fileSaveAs, BSTR* selectedFolder, enum zanFileType* fileType, BSTR* title,
                      VARIANT_BOOL* multiSelect, LONG* owner, BSTR* filter, LONG* filterIndex, VARIANT* result);

}  // namespace zankit::dialogs
