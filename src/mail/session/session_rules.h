// The pure rules of the SMTP/POP3 conversation: the texts of protocol failures, what a reply
// code means, and the progress percentage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::mail {

// Failure texts; the reply as received follows the first after ": ".
inline constexpr std::string_view kUnexpectedAnswer = "Unexpected answer from the server";
inline constexpr std::string_view kReplyTooLongText = "The server's reply is too long";
// A login or message data held back because the channel is not encrypted as Security asks.
inline constexpr std::string_view kClearChannelRefused = "Not sent: the connection is not encrypted";

// 220, 221, 250 and 251: a positive completion reply the session waits for.
bool IsCompletionCode(int code);
// 211 and 214: status and help texts that change nothing.
bool IsInformationCode(int code);
// A positive code (2xx, 3xx or "+OK"): when it answers nothing the session waits for, it is
// an unexpected answer rather than a refusal.
bool IsPositiveCode(int code);

// True when the reply contains "auth" and "login" anywhere, in any letter case.
bool OffersAuthLogin(std::string_view reply);

// The domain of the sender named in EHLO/HELO: everything after the first "@", or the
// whole address when it has none.
std::string HeloDomain(std::string_view from);

// sent / total × 100 in single precision, rounded to the nearest whole number with halves
// going to the even neighbour, at most 100; 0 when total is not above 0.
std::int32_t ProgressPercent(std::int64_t sent, std::int64_t total);

}  // namespace zankit::mail
