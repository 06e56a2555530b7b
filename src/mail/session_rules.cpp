#include "mail/session_rules.h"

#include <cmath>

#include "mail/encodings.h"
#include "mail/text_rules.h"
#include "mail/wire_text.h"

namespace zankit::mail {
namespace {

std::string WithoutCrLf(std::string_view text) {
    std::string result;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            ++at;
            continue;
        }
        result.push_back(text[at]);
    }
    return result;
}

float RoundHalfToEven(float value) {
    const float lower = std::floor(value);
    const float fraction = value - lower;
    if (fraction > 0.5f) return lower + 1.0f;
    if (fraction < 0.5f) return lower;
    return std::fmod(lower, 2.0f) == 0.0f ? lower : lower + 1.0f;
}

}  // namespace

ReplyAction ClassifyReply(std::string_view reply) {
    const std::string_view code = reply.substr(0, 3);
    auto is = [&](std::string_view expected) { return EqualsNoCase(code, expected); };
    if (is("220") || is("221") || is("251")) return ReplyAction::Ready;
    if (is("250")) return ReplyAction::Accepted250;
    if (is("235")) return ReplyAction::AuthAccepted;
    if (is("334")) return ReplyAction::AuthPrompt;
    if (is("354")) return ReplyAction::DataReady;
    if (is("211") || is("214")) return ReplyAction::Ignore;
    if (is("+OK")) return ReplyAction::Pop3Ok;
    if (is("-ER")) return ReplyAction::Pop3Error;
    return ReplyAction::Refused;
}

bool OffersAuthLogin(std::string_view reply) { return ContainsNoCase(reply, "auth") && ContainsNoCase(reply, "login"); }

std::string AuthPromptAnswer(std::string_view reply, std::string_view username, std::string_view password) {
    const std::string_view challenge = reply.size() > 3 ? reply.substr(3) : std::string_view();
    const std::string prompt = DecodeBase64String(WithoutCrLf(TrimSpaces(challenge)));
    if (ContainsNoCase(prompt, "username")) return Base64EncodeString(username);
    if (ContainsNoCase(prompt, "password")) return Base64EncodeString(password);
    return "\r\n*\r\n";
}

Pop3Move NextPop3Move(int step, std::string_view username, std::string_view password) {
    switch (step) {
        case 0:
            return {"USER " + OneLine(username) + "\r\n", 1, false};
        case 1:
            return {"PASS " + OneLine(password) + "\r\n", 2, false};
        case 2:
            return {"QUIT\r\n", 3, false};
        default:
            return {{}, 0, true};
    }
}

std::string HeloDomain(std::string_view from) {
    const std::size_t at = from.find('@');
    if (at == std::string_view::npos) return OneLine(from);
    return OneLine(from.substr(at + 1));
}

std::int32_t ProgressPercent(std::int64_t sent, std::int64_t total) {
    if (total <= 0) return 0;
    const float percent = static_cast<float>(sent) / static_cast<float>(total) * 100.0f;
    const float rounded = RoundHalfToEven(percent);
    if (rounded > 100.0f) return 100;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace zankit::mail
