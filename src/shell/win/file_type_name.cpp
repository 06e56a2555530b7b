#include "shell/file_type_name.h"

#include <windows.h>
#include <shellapi.h>

namespace zankit::shell {

std::wstring FileTypeName(const std::wstring& path) {
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES)) return {};
    info.szTypeName[sizeof info.szTypeName / sizeof(wchar_t) - 1] = L'\0';
    return info.szTypeName;
}

}  // namespace zankit::shell
