// Byte and text encodings of the mail class: base64 (attachment lines, strings, decoding),
// UU lines and the texts of the Date header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mail/mail_types.h"

namespace zankit::mail {

// The base64 alphabet followed by its pad character.
inline constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// Base64 in lines of 76 characters, every line (the last included) followed by CR LF.
// Input that is a multiple of 57 bytes long gives only full lines, so pieces of such sizes
// concatenate into one continuous text. An empty input gives an empty result.
std::string Base64EncodeBytes(const unsigned char* data, std::size_t size);
std::string Base64EncodeBytes(std::string_view bytes);

// Empty for an empty text, otherwise Base64EncodeBytes of its bytes (ending in CR LF).
std::string Base64EncodeString(std::string_view text);

// Base64 of the bytes on one line, without any line end (AUTH arguments).
std::string Base64OneLine(std::string_view bytes);

// Decodes groups of four characters until the text ends or a character outside the alphabet
// appears (a CR ends decoding too). "=" ends its group early. A final group cut short by the
// end of the text yields only the bytes its characters cover.
std::string DecodeBase64String(std::string_view encoded);

// One UU line body for at most 63 bytes: length character, the encoded groups, and "=" or "=="
// after a short last group. Longer input gives an empty result.
std::string UUEncodeLine(std::string_view text);

// "+hhmm"/"-hhmm" for a bias in minutes (UTC = local + bias; zero or negative is east).
std::string TimeZoneText(long biasMinutes);

// "Mon, 1 Jan 2024 09:05:03 +0100".
std::string FormatMailDate(const LocalDateTime& when, std::string_view timeZoneText);

}  // namespace zankit::mail
