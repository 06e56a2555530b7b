// Display texts of the query members: sizes in kilobytes, drive types, serial numbers and
// the short date pattern.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zankit::fileinfo {

// (bytes + 512) / 1024 with one decimal, rounded half away from zero, and " KB"
// (1000 bytes give "1.5 KB", 0 bytes "0.5 KB").
std::wstring KiloByteText(std::int64_t bytes, std::wstring_view decimalSeparator);

// The German name of a system drive type (0 to 6); nothing for any other value.
std::optional<std::wstring> DriveTypeText(long driveType);

// A volume serial number as a signed decimal (a serial with the top bit set is negative).
std::wstring SerialNumberText(std::uint32_t serial);

// The locale's short date pattern as the member answers it: every "yy" becomes "yyyy"
// unless "yyyy" already occurs (in any case), then all in lower case
// ("dd.MM.yy" gives "dd.mm.yyyy", "M/d/yyyy" gives "m/d/yyyy").
std::wstring ShortDatePattern(std::wstring_view localePattern);

}  // namespace zankit::fileinfo
