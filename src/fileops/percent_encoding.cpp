#include "fileops/percent_encoding.h"

#include <cstdint>

namespace zankit::fileops {
namespace {

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The next code point of `text` from `at`, moving `at` past it.
char32_t NextCodePoint(std::wstring_view text, size_t& at) {
    char32_t c = static_cast<char32_t>(text[at++]);
    if (IsHighSurrogate(c)) {
        if (at < text.size() && IsLowSurrogate(static_cast<char32_t>(text[at]))) {
            char32_t low = static_cast<char32_t>(text[at++]);
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
        return 0xFFFD;
    }
    if (IsLowSurrogate(c) || c > 0x10FFFF) return 0xFFFD;
    return c;
}

void AppendByte(std::wstring& out, std::uint8_t byte) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    out.push_back(L'%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
}

void AppendUtf8Encoded(std::wstring& out, char32_t c) {
    if (c < 0x80) {
        AppendByte(out, static_cast<std::uint8_t>(c));
    } else if (c < 0x800) {
        AppendByte(out, static_cast<std::uint8_t>(0xC0 | (c >> 6)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        AppendByte(out, static_cast<std::uint8_t>(0xE0 | (c >> 12)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else {
        AppendByte(out, static_cast<std::uint8_t>(0xF0 | (c >> 18)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::wstring PercentEncode(std::wstring_view text, KeepsCharacter keeps) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        char32_t c = NextCodePoint(text, at);
        if (c < 0x80 && keeps(static_cast<wchar_t>(c))) {
            out.push_back(static_cast<wchar_t>(c));
        } else {
            AppendUtf8Encoded(out, c);
        }
    }
    return out;
}

std::wstring TrimSpaces(std::wstring_view text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    size_t last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

}  // namespace zankit::fileops
