// Texts stored in the type library as 8-bit strings carry characters outside ASCII as
// \uXXXX (four hexadecimal digits); this turns them back into the characters.
#pragma once

#include <string>
#include <string_view>

namespace zankit {

// Replaces every \uXXXX by the UTF-16 unit XXXX; anything else, including a backslash not
// followed by u and four hexadecimal digits, is kept as it stands.
std::wstring UnescapeUnicode(std::wstring_view text);

}  // namespace zankit
