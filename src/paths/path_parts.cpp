#include "paths/path_parts.h"

#include "paths/path_text.h"

namespace zankit::paths {

std::wstring NameWithoutExtension(std::wstring_view name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) return std::wstring(name);
    return std::wstring(name.substr(0, dot));
}

std::wstring TextBeforeLastSeparator(std::wstring_view fileSpec) {
    size_t separator = fileSpec.rfind(kSeparator);
    if (separator == std::wstring_view::npos) return std::wstring(fileSpec);
    return std::wstring(fileSpec.substr(0, separator));
}

bool IsBareDrive(std::wstring_view text) { return text.size() == 2 && text[1] == L':'; }

std::wstring FolderName(std::wstring_view folder) { return FileNameFromPath(StripTrailingSeparator(folder)); }

std::wstring ParentFolderPath(std::wstring_view folder) {
    std::wstring stripped = StripTrailingSeparator(folder);
    size_t separator = stripped.rfind(kSeparator);
    if (separator == std::wstring::npos) return FixPath(stripped);
    return stripped.substr(0, separator + 1);
}

std::wstring DriveNameFromNumber(int number) {
    if (number < 0 || number > 25) return {};
    std::wstring name(1, static_cast<wchar_t>(L'A' + number));
    name += L':';
    return name;
}

std::wstring FolderRoot(std::wstring_view fullPath) {
    if (fullPath.size() >= 2 && fullPath[1] == L':') {
        return fullPath.size() >= 3 ? std::wstring(fullPath.substr(0, 3)) : std::wstring();
    }
    if (fullPath.substr(0, 2) != L"\\\\") return L"";
    const size_t server = fullPath.find(L'\\', 2);  // the separator after the server's name
    if (server == std::wstring_view::npos || server == 2 || server + 1 == fullPath.size()) return L"";
    const size_t share = fullPath.find(L'\\', server + 1);
    if (share == server + 1) return L"";
    if (share == std::wstring_view::npos) return std::wstring(fullPath) + L"\\";
    return std::wstring(fullPath.substr(0, share + 1));
}

}  // namespace zankit::paths
