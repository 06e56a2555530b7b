#include "dialogs/win/file_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "dialogs/file_dialog_rules.h"

namespace zankit::dialogs {
namespace {

constexpr size_t kMultiSelectBuffer = 8192;
// A single path may be a long one: the buffer holds the longest path the system allows.
constexpr size_t kSingleBuffer = 32768;

// The file buffer of an open dialog, reachable from the hook through lCustData.
struct FileBuffer {
    std::vector<wchar_t> characters;
};

// While a multiple selection grows, the file buffer grows with it: the name box holds the
// chosen names (quoted and separated by spaces), which is more than the answer needs.
void GrowForSelection(HWND dialog, OPENFILENAMEW& request) {
    const LRESULT names = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
    const LRESULT folder = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
    if (names <= 0 || folder < 0) return;
    const size_t needed = static_cast<size_t>(names) + static_cast<size_t>(folder) + 2;
    if (needed <= request.nMaxFile) return;
    auto* buffer = reinterpret_cast<FileBuffer*>(request.lCustData);
    buffer->characters.resize(needed * 2, L'\0');
    request.lpstrFile = buffer->characters.data();
    request.nMaxFile = static_cast<DWORD>(buffer->characters.size());
}

UINT_PTR CALLBACK SelectionHook(HWND hookDialog, UINT message, WPARAM, LPARAM parameter) {
    if (message != WM_NOTIFY) return 0;
    auto* notification = reinterpret_cast<OFNOTIFYW*>(parameter);
    if (notification->hdr.code == CDN_SELCHANGE && notification->lpOFN) {
        GrowForSelection(GetParent(hookDialog), *notification->lpOFN);
    }
    return 0;
}

}  // namespace

FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) {
    const bool multiSelect = !request.save && (request.flags & OFN_ALLOWMULTISELECT);
    FileBuffer buffer;
    const size_t size = multiSelect ? kMultiSelectBuffer : kSingleBuffer;
    buffer.characters.assign(std::max(size, request.fileName.size() + 2), L'\0');
    request.fileName.copy(buffer.characters.data(), request.fileName.size());

    const std::wstring filter = DialogFilter(request.filter);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = request.owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    dialog.lpstrFile = buffer.characters.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.characters.size());
    dialog.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    dialog.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    dialog.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    dialog.Flags = request.flags;
    if (multiSelect) {
        dialog.Flags |= OFN_ENABLEHOOK | OFN_ENABLESIZING;
        dialog.lpfnHook = &SelectionHook;
        dialog.lCustData = reinterpret_cast<LPARAM>(&buffer);
    }

    FileDialogAnswer answer;
    const BOOL confirmed = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!confirmed) {
        answer.dialogError = CommDlgExtendedError();
        return answer;
    }
    answer.confirmed = true;
    const std::wstring returned(dialog.lpstrFile, dialog.nMaxFile);
    if (multiSelect) {
        answer.paths = ParseMultiSelection(returned);
    } else {
        answer.paths.push_back(returned.substr(0, returned.find(L'\0')));
    }
    return answer;
}

}  // namespace zankit::dialogs
