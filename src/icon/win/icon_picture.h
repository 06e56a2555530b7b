// The shell's icon for a file type as a picture object: drawn with transparency over the
// button-face colour onto an off-screen bitmap, which the picture then owns.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

namespace zankit {

// The icon for the type of `file` (its extension decides; the file need not exist),
// 16x16 when small, else 32x32 (the system image list's sizes). Fails when the shell has
// no image list for it.
HRESULT ShellIconPicture(const std::wstring& file, bool small, IPictureDisp** picture);

}  // namespace zankit
