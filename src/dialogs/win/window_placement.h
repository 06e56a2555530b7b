// Places a dialog window when it opens: centred on its owner window, or on the work area
// of the screen when it has none (or the owner is hidden or minimised).
#pragma once

#include <windows.h>

namespace zankit::dialogs {

void CenterOnOwner(HWND dialog);

}  // namespace zankit::dialogs
