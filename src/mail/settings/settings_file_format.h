// The text format of the native settings file: one "key=value" per line, with "%", "=", CR,
// LF and NUL written as "%" and two hexadecimal digits, so any key and value survive.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zankit::mail {

using SettingEntries = std::vector<std::pair<std::string, std::string>>;

std::string EscapeSettingText(std::string_view text);
std::string UnescapeSettingText(std::string_view text);

// Lines without "=" are skipped.
SettingEntries ParseSettingsFile(std::string_view content);
std::string FormatSettingsFile(const SettingEntries& entries);

}  // namespace zankit::mail
