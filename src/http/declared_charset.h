// The character set an HTTP response declares for its body, as a Windows code page.
#pragma once

#include <optional>
#include <string_view>

namespace zankit {

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageUtf16Le = 1200;
constexpr unsigned kCodePageUtf16Be = 1201;

// The code page of the charset parameter of a Content-Type value ("text/html; charset=UTF-8",
// quoted or not, any case). A JSON media type without one is UTF-8, the only encoding JSON
// text has. Nothing when no charset is declared or the name is not one this table knows.
std::optional<unsigned> DeclaredCodePage(std::wstring_view contentType);

}  // namespace zankit
