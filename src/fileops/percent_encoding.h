// Percent-encoding of text for links: characters a link may not hold as they are become
// "%XX" for each byte of their UTF-8 form.
#pragma once

#include <string>
#include <string_view>

namespace zankit::fileops {

// Which ASCII characters stay as they are; every character outside ASCII is encoded.
using KeepsCharacter = bool (*)(wchar_t);

// Encodes every character for which `keeps` says no. UTF-16 surrogate pairs are taken as one
// character; a lone surrogate is encoded as U+FFFD.
std::wstring PercentEncode(std::wstring_view text, KeepsCharacter keeps);

// Removes leading and trailing spaces (only the space character).
std::wstring TrimSpaces(std::wstring_view text);

}  // namespace zankit::fileops
