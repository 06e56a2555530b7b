#include "fileinfo/win/file_queries.h"

#include <shlwapi.h>

#include <vector>

#include "frame/run_time_failure.h"
#include "paths/path_parts.h"
#include "paths/win/directory_search.h"

namespace zankit::fileinfo {

std::optional<std::wstring> FullPathOf(const std::wstring& fileSpec) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetFullPathNameW(fileSpec.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);  // long paths: as long as the system asks for
    }
}

std::wstring LastPathElement(const std::wstring& fileSpec) {
    std::vector<wchar_t> buffer(fileSpec.begin(), fileSpec.end());
    buffer.push_back(L'\0');
    PathStripPathW(buffer.data());
    return std::wstring(buffer.data());
}

std::wstring DriveNameOf(const std::wstring& fileSpec) {
    return paths::DriveNameFromNumber(PathGetDriveNumberW(fileSpec.c_str()));
}

FileStatus StatusOf(const std::wstring& fileSpec) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(fileSpec.c_str(), GetFileExInfoStandard, &data))
        throw FailureForSystemError(GetLastError());
    FileStatus status;
    status.attributes = data.dwFileAttributes;
    status.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    status.lastWrite = data.ftLastWriteTime;
    return status;
}

bool IsHeldOpen(const std::wstring& fileSpec) {
    KernelHandle file(CreateFileW(fileSpec.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.Valid();
}

}  // namespace zankit::fileinfo
