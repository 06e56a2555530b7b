#include "fileops/internet_shortcut_text.h"

#include "fileops/percent_encoding.h"

namespace zankit::fileops {
namespace {

bool KeepsAscii(wchar_t) { return true; }

bool EndsWithUrlEnding(std::wstring_view name) {
    if (name.size() < 4) return false;
    std::wstring ending(name.substr(name.size() - 4));
    for (wchar_t& c : ending) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return ending == L".URL";
}

}  // namespace

std::wstring NameWithUrlEnding(std::wstring_view name) {
    std::wstring result(name);
    if (!EndsWithUrlEnding(TrimSpaces(name))) result += L".url";
    return result;
}

std::wstring WithMailtoScheme(std::wstring_view hyperlink) {
    if (hyperlink.find(L'@') == std::wstring_view::npos || hyperlink.rfind(L"mailto:", 0) == 0) {
        return std::wstring(hyperlink);
    }
    return L"mailto:" + std::wstring(hyperlink);
}

std::string InternetShortcutFile(std::string_view ansiLink) {
    return "[InternetShortcut]\r\nURL=" + std::string(ansiLink) + "\r\n";
}

std::string InternetShortcutFileWide(std::wstring_view link, std::string_view utf7Link) {
    const std::wstring asciiLink = PercentEncode(link, KeepsAscii);
    std::string text = "[InternetShortcut]\r\nURL=";
    for (wchar_t c : asciiLink) text.push_back(static_cast<char>(c));
    text += "\r\n[InternetShortcut.W]\r\nURL=" + std::string(utf7Link) + "\r\n";
    return text;
}

}  // namespace zankit::fileops
