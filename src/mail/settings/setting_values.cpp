#include "mail/settings/setting_values.h"

#include "mail/text_rules.h"

namespace zankit::mail {

std::optional<std::int32_t> ParseSettingNumber(std::string_view text) {
    const std::string trimmed = TrimSpaces(text);
    if (EqualsNoCase(trimmed, "True")) return -1;
    if (EqualsNoCase(trimmed, "False")) return 0;
    std::size_t pos = 0;
    bool negative = false;
    if (pos < trimmed.size() && (trimmed[pos] == '-' || trimmed[pos] == '+')) {
        negative = trimmed[pos] == '-';
        ++pos;
    }
    if (pos == trimmed.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; pos < trimmed.size(); ++pos) {
        const char c = trimmed[pos];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string BooleanSettingText(bool value) { return value ? "-1" : "0"; }

}  // namespace zankit::mail
