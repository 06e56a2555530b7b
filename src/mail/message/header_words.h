// The forms text outside ASCII takes in header fields: encoded words (RFC 2047) for header
// text and display names, and extended parameters (RFC 2231) for file names. ASCII text keeps
// its plain form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zankit::mail {

// The longest an encoded word may be, and the longest line of a header field that carries one.
inline constexpr std::size_t kLongestEncodedWord = 75;
inline constexpr std::size_t kLongestEncodedLine = 76;

// Encoded words "=?UTF-8?B?...?=" for a UTF-8 text, split only between characters and joined by
// single spaces (a reader drops the space between two encoded words): the first word at most
// firstWidth characters long, every other at most otherWidth; a character never shares a word
// with the next when the word would outgrow its width (a width below 20 is taken as 20).
std::string EncodedWords(std::string_view text, std::size_t firstWidth = kLongestEncodedWord,
                         std::size_t otherWidth = kLongestEncodedWord);

// Header text: unchanged when no byte is above 126 (in quotes when quote is set, a quote or
// backslash inside escaped with a backslash); otherwise encoded words, never in quotes.
std::string EncodeHeaderText(std::string_view text, bool quote, std::size_t firstWidth = kLongestEncodedWord);

// True when a header value holds an encoded word.
bool CarriesEncodedWords(std::string_view value);

// A parameter naming a file in a Content-Type field: name="value" for ASCII, otherwise
// name="encoded words" for readers that know no other form.
std::string NameParameter(std::string_view name, std::string_view value);

// The file name parameter of a Content-Disposition field: filename="value" for ASCII,
// otherwise filename*=UTF-8''percent-encoded, in numbered pieces on lines of their own
// (filename*0*=UTF-8''...;CR LF TAB filename*1*=...) when one line of 76 cannot hold it.
std::string FileNameParameter(std::string_view value);

}  // namespace zankit::mail
