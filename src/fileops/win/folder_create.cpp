// FolderCreate: makes sure a whole folder path exists, creating every missing level.
#include <windows.h>

#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "paths/path_parts.h"

namespace zankit::fileops {
namespace {

bool IsDrivePath(const std::wstring& path) { return path.size() >= 2 && path[1] == L':'; }
bool IsNetworkPath(const std::wstring& path) { return path.rfind(L"\\\\", 0) == 0; }

// Length of the root of a full path; one more than the path's when a bare share root needs its "\".
size_t RootLength(const std::wstring& full) { return paths::FolderRoot(full).size(); }

// The full path (".", ".." and "/" resolved) with every separator after the root removed from
// its end; a root keeps its one. "C:" alone means the drive's root.
std::wstring FullFolderPath(const std::wstring& path) {
    std::wstring start = path.size() == 2 ? path + L"\\" : path;
    DWORD needed = GetFullPathNameW(start.c_str(), 0, nullptr, nullptr);
    std::wstring full = start;
    if (needed > 0) {
        full.assign(needed, L'\0');
        DWORD written = GetFullPathNameW(start.c_str(), needed, full.data(), nullptr);
        full.resize(written < needed ? written : 0);
        if (full.empty()) full = start;
    }
    const size_t root = RootLength(full);
    if (root > full.size()) full += L'\\';
    while (full.size() > root && root > 0 && full.back() == L'\\') full.pop_back();
    return full;
}

// The form the file system calls take: long paths need the "\\?\" prefix, and checking and
// creating use the same form, so a folder just made is also found.
std::wstring SystemForm(const std::wstring& full) {
    if (full.size() < MAX_PATH - 12) return full;
    if (IsNetworkPath(full)) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool IsFolder(const std::wstring& full) {
    DWORD attributes = GetFileAttributesW(SystemForm(full).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates each missing folder of the full path, outermost first.
bool CreateEveryLevel(const std::wstring& full) {
    const size_t root = RootLength(full);
    if (root == 0 || root > full.size()) return false;
    for (size_t next = full.find(L'\\', root);; next = full.find(L'\\', next + 1)) {
        std::wstring level = full.substr(0, next);
        if (!IsFolder(level) && !CreateDirectoryW(SystemForm(level).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        if (next == std::wstring::npos) break;
    }
    return IsFolder(full);
}

}  // namespace

HRESULT FolderCreate(BSTR createDirectory, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    const std::wstring directory = FromBstr(createDirectory);
    if (!IsDrivePath(directory) && !IsNetworkPath(directory)) {
        Failure failure{VbError(1000), L"ZanKit", L"Bad path: "};
        ReportFailure(failure, L"|FileSysInfo:FolderCreate#", directory);
        return S_OK;
    }
    const std::wstring full = FullFolderPath(directory);
    if (IsFolder(full) || CreateEveryLevel(full)) *result = VARIANT_TRUE;
    return S_OK;
}

}  // namespace zankit::fileops
