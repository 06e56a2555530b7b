#include "mail/session/session_rules.h"

#include <cmath>

#include "mail/session/reply_assembler.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

float RoundHalfToEven(float value) {
    const float lower = std::floor(value);
    const float fraction = value - lower;
    if (fraction > 0.5f) return lower + 1.0f;
    if (fraction < 0.5f) return lower;
    return std::fmod(lower, 2.0f) == 0.0f ? lower : lower + 1.0f;
}

}  // namespace

bool IsCompletionCode(int code) {
    return code == kReplyServiceReady || code == kReplyClosing || code == kReplyOk || code == kReplyWillForward;
}

bool IsInformationCode(int code) { return code == kReplySystemStatus || code == kReplyHelp; }

bool IsPositiveCode(int code) { return (code >= 200 && code < 400) || code == kReplyPop3Ok; }

bool OffersAuthLogin(std::string_view reply) { return ContainsNoCase(reply, "auth") && ContainsNoCase(reply, "login"); }

std::string HeloDomain(std::string_view from) {
    const std::size_t at = from.find('@');
    return std::string(at == std::string_view::npos ? from : from.substr(at + 1));
}

std::int32_t ProgressPercent(std::int64_t sent, std::int64_t total) {
    if (total <= 0) return 0;
    const float percent = static_cast<float>(sent) / static_cast<float>(total) * 100.0f;
    const float rounded = RoundHalfToEven(percent);
    if (rounded > 100.0f) return 100;
    return static_cast<std::int32_t>(rounded);
}

}  // namespace zankit::mail
