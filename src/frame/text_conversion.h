// Conversions between UTF-16 and byte texts: the ANSI code page (what the mail wire and the
// A calls use) and UTF-8. Each direction exists once. A conversion the system refuses throws
// TextConversionError; no caller ever gets a silently shortened text. Characters the ANSI code
// page cannot hold become its default character, as the A calls of the platform do.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zankit {

class TextConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

// Strict UTF-8: a lone surrogate or an invalid byte sequence is an error.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

}  // namespace zankit
