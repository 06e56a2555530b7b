#include "dialogs/folder_browser_rules.h"

namespace zankit::dialogs {

std::uint32_t FolderRequestFlags(const FolderBrowserSettings& settings) {
    std::uint32_t flags = 0;
    if (settings.editBox) flags |= 0x0010;          // BIF_EDITBOX
    if (settings.statusText) flags |= 0x0004;       // BIF_STATUSTEXT
    if (settings.fileSystemOnly) flags |= 0x0009;   // BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS
    if (settings.validateEditBox) flags |= 0x0020;  // BIF_VALIDATE
    if (settings.useNewUI) flags |= 0x0040;         // BIF_NEWDIALOGSTYLE
    return flags;
}

std::wstring InvalidPathText(const std::wstring& typedName) { return L"Ung\u00FCltiger Pfad: " + typedName; }

bool IsRefusedFolder(const std::wstring& path, const std::wstring& desktopFolder) {
    if (path.empty()) return true;
    if (desktopFolder.empty()) return false;  // no desktop folder: nothing below it to refuse
    if (path == desktopFolder) return true;
    const std::wstring below = desktopFolder + L"\\";
    return path.compare(0, below.size(), below) == 0;
}

}  // namespace zankit::dialogs
