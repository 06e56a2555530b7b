// Path and display helpers that work on text alone (no system calls), shared by the
// file-system members. The separator is the backslash.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::paths {

inline constexpr wchar_t kSeparator = L'\\';

// sPath with exactly one trailing separator added when it has none; "" gives "\".
std::wstring FixPath(std::wstring_view path);

// The text after the last separator ("" when the path ends in one or is empty).
std::wstring FileNameFromPath(std::wstring_view path);

// Removes exactly one trailing separator.
std::wstring StripTrailingSeparator(std::wstring_view path);

// Cuts the text before its first NUL character, in place.
void TrimAtNull(std::wstring& text);

// The extension after the last "." of the last path element, without the dot.
std::wstring ExtensionOf(std::wstring_view path);

// "R", "H", "A", "S", "L", "C" for the bits 1, 2, 32, 4, 64, 128 of the low byte.
std::wstring AttributeLetters(std::uint8_t attributes);

// bytes / 2^20 with "MB", or / 2^30 with "GB" from 1 GiB on, with two decimals and the
// given decimal separator (1572864 gives 1.50MB).
std::wstring SizeText(std::int64_t bytes, std::wstring_view decimalSeparator);

}  // namespace zankit::paths
