// The notifications of the folder-browse dialog, handed to the FolderBrowser that shows it.
#include <windows.h>
#include <shlobj.h>

#include <new>
#include <string>

#include "dialogs/win/folder_browser.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kTag[] = L"|mBrowseForFolder:BrowseCallbackProc#";

LRESULT Dispatch(HWND dialog, UINT message, LPARAM parameter, FolderBrowser* browser) {
    switch (message) {
        case BFFM_INITIALIZED:
            if (browser) browser->OnInitialized(dialog);
            return 0;
        case BFFM_SELCHANGED:
            if (browser) {
                browser->OnSelectionChanged(dialog, reinterpret_cast<LPCITEMIDLIST>(parameter));
            } else {
                SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0,
                             reinterpret_cast<LPARAM>(
                                 shell::FileSystemPathOf(reinterpret_cast<LPCITEMIDLIST>(parameter)).c_str()));
            }
            return 0;
        case BFFM_VALIDATEFAILEDW:
        case BFFM_VALIDATEFAILEDA: {
            std::wstring typed;
            if (parameter && message == BFFM_VALIDATEFAILEDW) typed = reinterpret_cast<const wchar_t*>(parameter);
            if (parameter && message == BFFM_VALIDATEFAILEDA)
                typed = FromAnsi(reinterpret_cast<const char*>(parameter));
            if (browser) return browser->OnValidationFailed(dialog, typed);
            SendMessageW(dialog, BFFM_ENABLEOK, 0, 0);
            const std::wstring text = InvalidPathText(typed);
            SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
            return 0;
        }
        default:
            return 0;
    }
}

}  // namespace

int CALLBACK BrowseCallbackProc(HWND dialog, UINT message, LPARAM parameter, LPARAM data) {
    try {
        return static_cast<int>(Dispatch(dialog, message, parameter, reinterpret_cast<FolderBrowser*>(data)));
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure{VbError(7), L"ZanKit", L"Out of memory"}, kTag);
    } catch (...) {
        ReportFailure(Failure{VbError(51), L"ZanKit", L"Internal error"}, kTag);
    }
    return 0;
}

}  // namespace zankit::dialogs
