#include "shell/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <exception>
#include <new>

#include "frame/error_info.h"
#include "frame/report_error.h"
#include "shell/win/item_id_list.h"

namespace zankit::shell {
namespace {

std::wstring LookUp(long folder) {
    ItemIdList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, static_cast<int>(folder), list.Put())) || !list.Get()) return {};
    return FileSystemPathOf(list.Get());
}

}  // namespace

std::wstring FileSystemPathOf(LPCITEMIDLIST item) {
    if (!item) return {};
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(item, path)) return {};
    path[MAX_PATH - 1] = L'\0';
    std::wstring answer(path);
    // Some shells name virtual folders "::{class id}"; such a name is no file-system path.
    if (answer.rfind(L"::", 0) == 0) return {};
    return answer;
}

std::wstring SpecialFolderLocation(long folder) {
    try {
        return LookUp(folder);
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure{VbError(7), L"ZanKit", L"Out of memory"}, L"|cBrowseForFolder.SpecialFolderLocation#");
    } catch (...) {
        ReportFailure(Failure{VbError(51), L"ZanKit", L"Internal error"}, L"|cBrowseForFolder.SpecialFolderLocation#");
    }
    return {};
}

}  // namespace zankit::shell
