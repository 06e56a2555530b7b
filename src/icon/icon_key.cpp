#include "icon/icon_key.h"

namespace zankit {

bool IsBlankName(std::wstring_view text) { return text.find_first_not_of(L' ') == std::wstring_view::npos; }

std::wstring IconKey(std::wstring_view fileName, std::wstring_view shellTypeName, UpperCaseText upperCase) {
    if (!shellTypeName.empty()) return std::wstring(shellTypeName);
    size_t dot = fileName.find(L'.');
    if (dot == std::wstring_view::npos) return L"Datei";
    return upperCase(fileName.substr(dot + 1)) + L"-Datei";
}

}  // namespace zankit
