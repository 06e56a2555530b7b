// Conversions between property values and the texts kept in the settings store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zankit::mail {

// Decimal text of a number (optional spaces around it, optional sign); nothing when the text
// is not such a number or does not fit 32 bits. "True" and "False" read as -1 and 0.
std::optional<std::int32_t> ParseSettingNumber(std::string_view text);

// "-1" for true, "0" for false.
std::string BooleanSettingText(bool value);

}  // namespace zankit::mail
