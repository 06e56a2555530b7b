// BrowseForFolder: the folder picker with the library's own settings. It
// refuses the desktop folder and everything in it, centres the dialog on its owner and
// starts in, and keeps, the folder chosen last.
#include <windows.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "dialogs/folder_browser_rules.h"
#include "dialogs/last_folder.h"
#include "dialogs/win/dialogs_members.h"
#include "dialogs/win/folder_browser.h"
#include "dialogs/win/window_placement.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "shell/shell_folders.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kTag[] = L"|FileSysInfo:BrowseForFolder#";
// The default root: the top of the shell's name space, not a folder of that name.
constexpr wchar_t kDesktopRoot[] = L"Desktop";

class FileSysInfoBrowseHandler final : public FolderBrowserListener {
public:
    void Initialized(HWND dialog) override { CenterOnOwner(dialog); }
    void SelectionChanged(const std::wstring& path, bool& allowOk) override {
        if (IsRefusedFolder(path, shell::SpecialFolderLocation(CSIDL_DESKTOP))) allowOk = false;
    }
};

std::wstring TextOr(const BSTR* value, const wchar_t* fallback) { return value ? FromBstr(*value) : fallback; }

}  // namespace

HRESULT BrowseForFolder(BSTR selectedFolder, BSTR* rootFolder, zanBrowseModeConstants* browseMode, BSTR* prompt,
                        BSTR* caption, LONG* hwndOwner, BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    ComPtr<FolderBrowser> browser;
    try {
        browser = ComPtr<FolderBrowser>::Adopt(new FolderBrowser());
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure{VbError(7), L"ZanKit", L"Out of memory"}, kTag);
        return S_OK;
    }
    LONG owner = hwndOwner ? *hwndOwner : 0;
    if (owner == 0) {
        owner = HandleToLong(GetActiveWindow());
        if (hwndOwner) *hwndOwner = owner;
    }
    FileSysInfoBrowseHandler handler;
    browser->SetListener(&handler);
    browser->put_hwndOwner(owner);
    browser->put_UseNewUI(VARIANT_TRUE);
    if (browseMode && *browseMode != zanBrowseAllFolders) browser->put_FileSystemOnly(VARIANT_TRUE);
    Bstr captionText(TextOr(caption, L"Ordner suchen"));
    browser->put_Caption(captionText.Get());
    Bstr promptText(TextOr(prompt, L""));
    browser->put_Title(promptText.Get());

    std::wstring startFolder = FromBstr(selectedFolder);
    if (startFolder.empty()) startFolder = ReadLastFolder();
    Bstr initialDir(startFolder);
    browser->put_InitialDir(initialDir.Get());
    const std::wstring root = TextOr(rootFolder, kDesktopRoot);
    Bstr rootDir(root == kDesktopRoot ? std::wstring() : root);
    browser->put_RootDir(rootDir.Get());
    browser->put_StatusText(VARIANT_TRUE);

    std::wstring chosen;
    HRESULT hr = browser->Browse(chosen);
    browser->SetListener(nullptr);
    if (FAILED(hr)) return hr;
    if (!chosen.empty()) StoreLastFolder(chosen);
    return ToBstr(chosen, result);
}

}  // namespace zankit::dialogs
