#include "paths/drive_lookup.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "paths/path_text.h"
#include "paths/win/directory_search.h"

namespace zankit::paths {
namespace {

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return text;
}

}  // namespace

bool DriveStringExists(const std::wstring& drive) {
    if (drive.empty()) return false;
    DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length > buffer.size()) return false;
    std::wstring list(buffer.data(), length);
    return Upper(list).find(Upper(drive)) != std::wstring::npos;
}

bool FolderExists(const std::wstring& path) {
    std::wstring stripped = StripTrailingSeparator(path);
    if (stripped.size() == 2 && stripped[1] == L':') return DriveStringExists(stripped);
    if (stripped.find_first_of(L"*?") != std::wstring::npos) return false;
    DirectorySearch search(stripped);
    return search.Valid() && (search.Entry().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace zankit::paths
