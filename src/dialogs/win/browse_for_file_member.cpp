// BrowseForFile: the open or save dialog with German filter presets or the
// caller's own filter, starting in the folder chosen last (else the documents folder). The
// process's current directory is the same after the call as before it.
#include <windows.h>
#include <shlobj.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <vector>

#include "dialogs/file_dialog_rules.h"
#include "dialogs/last_folder.h"
#include "dialogs/win/dialogs_members.h"
#include "dialogs/win/file_dialog.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "frame/variant.h"
#include "paths/path_parts.h"
#include "paths/path_text.h"
#include "shell/shell_folders.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kTag[] = L"|FileSysInfo:BrowseForFile#";
constexpr wchar_t kOpenTitle[] = L"\u00D6ffnen";
constexpr LONG kNoOwner = -1;

// A failure inside the member: reported, and the member answers what it has so far.
struct ReportedFailure {
    Failure failure;
};

std::wstring CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(needed, L'\0');
    const DWORD written = needed ? GetCurrentDirectoryW(needed, folder.data()) : 0;
    folder.resize(written < needed ? written : 0);
    return folder;
}

// The answer of a multiple selection: an array counted from 1 of Variants, each holding a
// String. An array of Variants is what every host reads; script hosts cannot index an
// array of plain Strings.
HRESULT PathArray(const std::vector<std::wstring>& paths, VARIANT* out) {
    SAFEARRAYBOUND bounds{static_cast<ULONG>(paths.size()), 1};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bounds);
    if (!array) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(paths.size()); ++i) {
        Variant element;
        V_VT(element.Get()) = VT_BSTR;
        V_BSTR(element.Get()) = SysAllocStringLen(paths[static_cast<size_t>(i)].data(),
                                                  static_cast<UINT>(paths[static_cast<size_t>(i)].size()));
        LONG index = i + 1;
        HRESULT hr = V_BSTR(element.Get()) ? SafeArrayPutElement(array, &index, element.Get()) : E_OUTOFMEMORY;
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return hr;
        }
    }
    V_VT(out) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out) = array;
    return S_OK;
}

HRESULT PathText(const std::wstring& path, VARIANT* out) {
    BSTR text = nullptr;
    HRESULT hr = ToBstr(path, &text);
    if (FAILED(hr)) return hr;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = text;
    return S_OK;
}

struct BrowseForFileArguments {
    std::wstring saveAs;
    std::wstring title;
    std::wstring filter;
    long fileType = 0;
    long filterIndex = 1;
    bool multiSelect = false;
    HWND owner = nullptr;
};

// Steps from the filter choice to the dialog's answer. Writes the result and the chosen
// path as far as it gets; a failure comes out as ReportedFailure.
void RunDialog(BrowseForFileArguments& arguments, const std::wstring& startFolder, VARIANT* result,
               std::wstring& chosenPath) {
    FileDialogRequest request;
    request.save = !arguments.saveAs.empty();
    if (!arguments.filter.empty()) {
        const CallerFilter chosen = ChooseCallerFilter(arguments.filter, arguments.filterIndex);
        arguments.filterIndex = chosen.limitedIndex;
        if (!chosen.pattern) throw ReportedFailure{{VbError(9), L"ZanKit", L"Subscript out of range"}};
        request.filter = arguments.filter;
        request.defaultExtension = paths::ExtensionOf(*chosen.pattern);
        if (!request.save) request.fileName = *chosen.pattern;
    } else {
        const FilterPreset preset = PresetForFileType(arguments.fileType);
        request.filter = preset.filter;
        request.defaultExtension = preset.defaultExtension;
    }
    request.filterIndex = 1;  // the dialog always opens with the first filter selected
    request.initialFolder = startFolder;
    request.owner = arguments.owner;
    if (request.save) {
        request.fileName = arguments.saveAs;
        request.title = SaveDialogTitle(arguments.title);
        request.flags = SaveDialogFlags(false, 0);
    } else {
        request.title = arguments.title;
        request.flags = OpenDialogFlags(true, arguments.multiSelect, false, true, 0);
    }

    const FileDialogAnswer answer = ShowFileDialog(request);
    if (request.save) {
        chosenPath = answer.confirmed && !answer.paths.empty() ? answer.paths.front() : std::wstring();
        if (FAILED(PathText(chosenPath, result))) throw std::bad_alloc();
        return;
    }
    if (!answer.confirmed || answer.paths.empty()) return;  // Empty
    chosenPath = answer.paths.front();
    const HRESULT hr = arguments.multiSelect ? PathArray(answer.paths, result) : PathText(chosenPath, result);
    if (FAILED(hr)) throw std::bad_alloc();
}

}  // namespace

HRESULT BrowseForFile(BSTR* fileSaveAs, BSTR* selectedFolder, enum zanFileType* fileType, BSTR* title,
                      VARIANT_BOOL* multiSelect, LONG* owner, BSTR* filter, LONG* filterIndex, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    std::wstring startFolder = selectedFolder ? FromBstr(*selectedFolder) : std::wstring();
    std::wstring chosenPath;
    const std::wstring directoryBefore = CurrentDirectory();
    BrowseForFileArguments arguments;
    arguments.filterIndex = filterIndex ? *filterIndex : 1;
    try {
        LONG ownerValue = owner ? *owner : 0;
        if (ownerValue == 0) {
            ownerValue = HandleToLong(GetActiveWindow());
            if (owner) *owner = ownerValue;
        }
        arguments.owner = ownerValue == kNoOwner ? nullptr : static_cast<HWND>(LongToHandle(ownerValue));
        arguments.saveAs = fileSaveAs ? FromBstr(*fileSaveAs) : std::wstring();
        arguments.title = title ? FromBstr(*title) : std::wstring(kOpenTitle);
        arguments.filter = filter ? FromBstr(*filter) : std::wstring();
        arguments.fileType = fileType ? static_cast<long>(*fileType) : 0;
        arguments.multiSelect = multiSelect && *multiSelect != VARIANT_FALSE;
        if (startFolder.empty()) startFolder = ReadLastFolder();
        if (startFolder.empty()) startFolder = shell::SpecialFolderLocation(CSIDL_PERSONAL);
        RunDialog(arguments, startFolder, result, chosenPath);
    } catch (const ReportedFailure& reported) {
        ReportFailure(reported.failure, kTag);
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure{VbError(7), L"ZanKit", L"Out of memory"}, kTag);
    }

    // From here on failures are passed over.
    if (filterIndex) *filterIndex = arguments.filterIndex;
    if (!directoryBefore.empty() && CurrentDirectory() != directoryBefore) {
        SetCurrentDirectoryW(directoryBefore.c_str());
    }
    if (!chosenPath.empty()) startFolder = paths::TextBeforeLastSeparator(chosenPath);
    if (selectedFolder) AssignBstr(selectedFolder, startFolder);
    if (!startFolder.empty()) StoreLastFolder(startFolder);
    ClearErrorInfo();
    return S_OK;
}

}  // namespace zankit::dialogs
