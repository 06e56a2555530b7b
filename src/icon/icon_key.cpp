#include "icon/icon_key.h"

#include <cwctype>

namespace zankit {

bool IsBlankName(std::wstring_view text) { return text.find_first_not_of(L' ') == std::wstring_view::npos; }

std::wstring IconKey(std::wstring_view fileName, std::wstring_view shellTypeName) {
    if (!shellTypeName.empty()) return std::wstring(shellTypeName);
    size_t dot = fileName.find(L'.');
    if (dot == std::wstring_view::npos) return L"Datei";
    std::wstring key(fileName.substr(dot + 1));
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return key + L"-Datei";
}

}  // namespace zankit
