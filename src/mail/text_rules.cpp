#include "mail/text_rules.h"

#include <algorithm>

namespace zankit::mail {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string ToUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = UpperAscii(c);
    return result;
}

std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    const auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                   [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
    return needle.empty() || found != haystack.end();
}

TextList SplitList(std::string_view text, std::string_view delimiter) {
    TextList list;
    if (text.empty()) return list;
    if (delimiter.empty()) {
        list.emplace_back(text);
        return list;
    }
    std::size_t start = 0;
    while (true) {
        const auto next = text.find(delimiter, start);
        if (next == std::string_view::npos) {
            list.emplace_back(text.substr(start));
            return list;
        }
        list.emplace_back(text.substr(start, next - start));
        start = next + delimiter.size();
    }
}

std::string JoinList(const TextList& list, std::string_view delimiter) {
    std::string result;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0) result.append(delimiter);
        result.append(list[i]);
    }
    return result;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto next = text.find(separator, start);
        if (next == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, next - start));
        start = next + 1;
    }
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    std::size_t start = 0;
    while (true) {
        const auto next = text.find(from, start);
        if (next == std::string_view::npos) break;
        result.append(text.substr(start, next - start));
        result.append(to);
        start = next + from.size();
    }
    result.append(text.substr(start));
    return result;
}

void CleanAddressList(TextList& list) {
    for (auto& element : list) {
        std::string cleaned = ReplaceAll(TrimSpaces(element), "\r\n", "");
        cleaned.erase(std::remove(cleaned.begin(), cleaned.end(), '\t'), cleaned.end());
        element = std::move(cleaned);
    }
}

bool HasByteAbove126(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 126; });
}

}  // namespace zankit::mail

namespace zankit::mail {

bool HasNonAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 127; });
}

std::size_t Utf8CharacterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (length == 1 || at + length > text.size()) return 1;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

}  // namespace zankit::mail
