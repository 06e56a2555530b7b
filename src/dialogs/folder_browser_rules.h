// The rules of the folder browser that need no window: the request flags built from the
// dialog object's settings, the status text of a rejected name, and which folders
// FileSysInfo.BrowseForFolder refuses.
#pragma once

#include <cstdint>
#include <string>

namespace zankit::dialogs {

struct FolderBrowserSettings {
    bool editBox = false;
    bool statusText = false;
    bool fileSystemOnly = false;
    bool validateEditBox = false;
    bool useNewUI = false;
};

// The shell's BIF_ flags for the settings.
std::uint32_t FolderRequestFlags(const FolderBrowserSettings& settings);

// "Ungültiger Pfad: <typed name>", the status line after the user typed a name that is no folder.
std::wstring InvalidPathText(const std::wstring& typedName);

// True when OK must stay disabled: no path, the desktop folder itself or a folder inside it
// (case-sensitive, as the shell answers paths).
bool IsRefusedFolder(const std::wstring& path, const std::wstring& desktopFolder);

}  // namespace zankit::dialogs
