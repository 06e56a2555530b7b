#include "mail/settings/settings_file_format.h"

namespace zankit::mail {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool NeedsEscape(char c) { return c == '%' || c == '=' || c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

std::string EscapeSettingText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (NeedsEscape(c)) {
            const auto byte = static_cast<unsigned char>(c);
            result.push_back('%');
            result.push_back(kHex[byte >> 4]);
            result.push_back(kHex[byte & 15]);
        } else {
            result.push_back(c);
        }
    }
    return result;
}

std::string UnescapeSettingText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            result.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

SettingEntries ParseSettingsFile(std::string_view content) {
    SettingEntries entries;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        const std::string_view line = content.substr(start, end - start);
        const auto equals = line.find('=');
        if (equals != std::string_view::npos) {
            entries.emplace_back(UnescapeSettingText(line.substr(0, equals)),
                                 UnescapeSettingText(line.substr(equals + 1)));
        }
        start = end + 1;
    }
    return entries;
}

std::string FormatSettingsFile(const SettingEntries& entries) {
    std::string content;
    for (const auto& [key, value] : entries) {
        content.append(EscapeSettingText(key)).append("=").append(EscapeSettingText(value)).append("\n");
    }
    return content;
}

}  // namespace zankit::mail
