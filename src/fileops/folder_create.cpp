// FolderCreate: makes sure a whole folder path exists, creating every missing level.
#include <windows.h>

#include "fileinfo/drive_lookup.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "filesysinfo/file_sys_info.h"
#include "filesysinfo/path_text.h"
#include "frame/report_error.h"

namespace zankit {
namespace {

bool IsDrivePath(const std::wstring& path) { return path.size() >= 2 && path[1] == L':'; }
bool IsNetworkPath(const std::wstring& path) { return path.rfind(L"\\\\", 0) == 0; }

// Creates each missing folder of `path` (which ends in a separator), outermost first.
bool CreateEveryLevel(const std::wstring& path) {
    // Skip the root: "C:\" or "\\server\share\".
    size_t start = 3;
    if (IsNetworkPath(path)) {
        size_t server = path.find(L'\\', 2);
        size_t share = server == std::wstring::npos ? std::wstring::npos : path.find(L'\\', server + 1);
        if (share == std::wstring::npos) return false;
        start = share + 1;
    }
    for (size_t next = path.find(L'\\', start); next != std::wstring::npos; next = path.find(L'\\', next + 1)) {
        std::wstring level = path.substr(0, next);
        if (FolderExists(level)) continue;
        std::wstring target = level.size() >= MAX_PATH - 12 && IsDrivePath(level) ? L"\\\\?\\" + level : level;
        if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return FolderExists(path);
}

}  // namespace

STDMETHODIMP FileSysInfo::FolderCreate(BSTR createDirectory, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        const std::wstring directory = FromBstr(createDirectory);
        if (!IsDrivePath(directory) && !IsNetworkPath(directory)) {
            Failure failure{VbError(1000), L"ZanKit", L"Bad path: "};
            ReportFailure(failure, L"|FileSysInfo:FolderCreate#", directory);
            return S_OK;
        }
        if (FolderExists(directory) || CreateEveryLevel(path::FixPath(directory))) *result = VARIANT_TRUE;
        return S_OK;
    });
}

}  // namespace zankit
