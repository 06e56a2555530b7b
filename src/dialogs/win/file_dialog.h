// The system's open and save dialogs (GetOpenFileNameW, GetSaveFileNameW) behind one
// request: the filter in the caller's notation, the start folder, title, default extension,
// owner and flags; the answer is the chosen path or paths.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zankit::dialogs {

struct FileDialogRequest {
    bool save = false;
    std::wstring fileName;  // the initial text of the file name box
    std::wstring filter;    // "description|pattern|..." (":" separates too)
    long filterIndex = 1;
    std::wstring initialFolder;
    std::wstring title;
    std::wstring defaultExtension;
    HWND owner = nullptr;
    std::uint32_t flags = 0;  // OFN_ values from OpenDialogFlags or SaveDialogFlags
};

struct FileDialogAnswer {
    bool confirmed = false;           // False for Cancel and for a dialog that failed
    std::vector<std::wstring> paths;  // one full path, or one per chosen file of a multiple selection
    DWORD dialogError = 0;            // CommDlgExtendedError after a failure
};

// A multiple selection larger than the first buffer is kept: the buffer grows with the
// selection while the dialog is open.
FileDialogAnswer ShowFileDialog(const FileDialogRequest& request);

}  // namespace zankit::dialogs
