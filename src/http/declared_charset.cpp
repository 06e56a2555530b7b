#include "http/declared_charset.h"

#include <cwctype>
#include <string>

namespace zankit {
namespace {

struct KnownCharset {
    const wchar_t* name;  // lower case
    unsigned codePage;
};

// The names web servers send, with the aliases browsers treat as the same: Latin-1 and
// ASCII labels are read as windows-1252, as browsers read them.
constexpr KnownCharset kKnownCharsets[] = {
    {L"utf-8", kCodePageUtf8},
    {L"utf8", kCodePageUtf8},
    {L"utf-16", kCodePageUtf16Le},
    {L"utf-16le", kCodePageUtf16Le},
    {L"utf-16be", kCodePageUtf16Be},
    {L"us-ascii", 1252},
    {L"iso-8859-1", 1252},
    {L"latin1", 1252},
    {L"windows-1250", 1250},
    {L"windows-1251", 1251},
    {L"windows-1252", 1252},
    {L"windows-1253", 1253},
    {L"windows-1254", 1254},
    {L"windows-1255", 1255},
    {L"windows-1256", 1256},
    {L"windows-1257", 1257},
    {L"windows-1258", 1258},
    {L"iso-8859-2", 28592},
    {L"iso-8859-5", 28595},
    {L"iso-8859-7", 28597},
    {L"iso-8859-15", 28605},
    {L"koi8-r", 20866},
    {L"koi8-u", 21866},
    {L"shift_jis", 932},
    {L"windows-31j", 932},
    {L"euc-jp", 20932},
    {L"gb2312", 936},
    {L"gbk", 936},
    {L"gb18030", 54936},
    {L"big5", 950},
    {L"euc-kr", 949},
};

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    return text;
}

// "application/json" and the "+json" suffix types such as "application/problem+json".
bool IsJson(std::wstring_view mediaType) {
    std::wstring type = Lower(Trimmed(mediaType));
    return type == L"application/json" || (type.size() > 5 && type.compare(type.size() - 5, 5, L"+json") == 0);
}

}  // namespace

std::optional<unsigned> DeclaredCodePage(std::wstring_view contentType) {
    size_t end = contentType.find(L';');
    std::wstring_view mediaType = contentType.substr(0, end);
    while (end != std::wstring_view::npos) {
        contentType.remove_prefix(end + 1);
        end = contentType.find(L';');
        std::wstring_view parameter = Trimmed(contentType.substr(0, end));
        size_t equals = parameter.find(L'=');
        if (equals == std::wstring_view::npos || Lower(Trimmed(parameter.substr(0, equals))) != L"charset") continue;
        std::wstring_view value = Trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
            value = value.substr(1, value.size() - 2);
        std::wstring name = Lower(value);
        for (const KnownCharset& known : kKnownCharsets) {
            if (name == known.name) return known.codePage;
        }
        return std::nullopt;
    }
    if (IsJson(mediaType)) return kCodePageUtf8;
    return std::nullopt;
}

}  // namespace zankit
