// The pure rules of the SMTP/POP3 conversation: what a complete reply means, how AUTH LOGIN
// prompts and POP3 steps are answered, and the progress percentage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::mail {

// What a complete reply asks of the session, by its first three characters (any letter case).
enum class ReplyAction {
    Ready,         // 220, 221, 251: ReplyOK
    Accepted250,   // 250: ReplyOK, and AUTH LOGIN offered when the reply names both words
    AuthAccepted,  // 235
    AuthPrompt,    // 334
    DataReady,     // 354
    Ignore,        // 211, 214
    Pop3Ok,        // +OK
    Pop3Error,     // -ER
    Refused,       // anything else
};

ReplyAction ClassifyReply(std::string_view reply);

// True when the reply contains "auth" and "login" anywhere, in any letter case.
bool OffersAuthLogin(std::string_view reply);

// The answer to a 334 prompt: the base64 form of username when the decoded prompt names
// "username", of password when it names "password" (each ending in CR LF, empty for an empty
// value), otherwise CR LF "*" CR LF, which cancels the exchange.
std::string AuthPromptAnswer(std::string_view reply, std::string_view username, std::string_view password);

// The POP3 dialogue after a "+OK" at a step: the line to write (empty when none) and the
// step that follows; done is set after the answer to QUIT.
struct Pop3Move {
    std::string command;
    int nextStep = 0;
    bool done = false;
};
Pop3Move NextPop3Move(int step, std::string_view username, std::string_view password);

// The domain of the sender named in EHLO/HELO: everything after the first "@", or the
// whole address when it has none.
std::string HeloDomain(std::string_view from);

// sent / total × 100 in single precision, rounded to the nearest whole number with halves
// going to the even neighbour, at most 100; 0 when total is not above 0.
std::int32_t ProgressPercent(std::int64_t sent, std::int64_t total);

}  // namespace zankit::mail
