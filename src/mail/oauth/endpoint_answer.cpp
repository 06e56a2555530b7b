#include "mail/oauth/endpoint_answer.h"

#include <algorithm>

#include "mail/secret_text.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

// An endpoint's texts reach the host's error and SendFailed texts: bounded, on one line.
constexpr std::size_t kShownTextLimit = 300;
// A device code that outlives this is waited for no longer.
constexpr double kLongestDeviceWaitSeconds = 3600;
// A longer token lifetime is taken as this one, so that its end stays a date a host can hold.
constexpr double kLongestTokenSeconds = 366.0 * 86400.0;

std::string Shown(std::string_view text) {
    std::string shown;
    for (const char ch : text.substr(0, kShownTextLimit)) {
        shown += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F ? ' ' : ch;
    }
    return shown;
}

bool IsJsonType(std::string_view contentType) {
    std::string_view type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && type.back() == ' ') type.remove_suffix(1);
    while (!type.empty() && type.front() == ' ') type.remove_prefix(1);
    constexpr std::string_view kSuffix = "+json";
    return EqualsNoCase(type, "application/json") ||
           (type.size() > kSuffix.size() && EqualsNoCase(type.substr(type.size() - kSuffix.size()), kSuffix));
}

// "The token endpoint", the start of every text about an endpoint's answer.
std::string Named(std::string_view endpoint) {
    std::string text = "The ";
    text.append(endpoint);
    return text;
}

}  // namespace

EndpointReply ReadEndpointAnswer(const HttpsAnswer& answer, std::string_view endpoint) {
    const std::string failedStatus = Named(endpoint) + " answered HTTP " + std::to_string(answer.status);
    if (answer.body.size() > kEndpointAnswerLimit) {
        throw OAuthError(Named(endpoint) + "'s answer is larger than 1 MiB");
    }
    if (!IsJsonType(answer.contentType)) {
        if (answer.status != 200) throw OAuthError(failedStatus);
        throw OAuthError(Named(endpoint) + "'s answer is not JSON (" + Shown(answer.contentType) + ")");
    }
    std::string reason;
    std::optional<JsonValue> document = ParseJson(answer.body, JsonLimits{}, &reason);
    if (!document || document->kind != JsonKind::Object) {
        if (answer.status != 200) throw OAuthError(failedStatus);
        if (document) reason = "not an object";
        throw OAuthError(Named(endpoint) + "'s answer is not valid JSON (" + reason + ")");
    }
    EndpointReply reply;
    reply.object = std::move(*document);
    const std::string error = reply.object.TextOf("error");
    if (!error.empty()) {
        reply.refusal = RefusalOf(error, reply.object.TextOf("error_description"));
    } else if (answer.status != 200) {
        throw OAuthError(failedStatus);
    }
    return reply;
}

EndpointRefusal RefusalOf(std::string_view error, std::string_view description) {
    return {Shown(error), Shown(description)};
}

std::string RefusalText(std::string_view endpoint, const EndpointRefusal& refusal) {
    std::string text = Named(endpoint) + " answered " + refusal.error;
    if (!refusal.description.empty()) text += ": " + refusal.description;
    return text;
}

TokenGrant::~TokenGrant() {
    WipeString(accessToken);
    WipeString(refreshToken);
}

TokenGrant TokenGrantOf(const JsonValue& object) {
    TokenGrant grant;
    grant.accessToken = object.TextOf("access_token");
    if (grant.accessToken.empty()) throw OAuthError("The token endpoint's answer holds no access_token");
    // A bearer token is printable ASCII; anything else would change the XOAUTH2 line it goes into.
    if (std::any_of(grant.accessToken.begin(), grant.accessToken.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E;
        })) {
        throw OAuthError("The token endpoint issued an access token with characters no bearer token holds");
    }
    const JsonValue* type = object.Find("token_type");
    if (type && !EqualsNoCase(type->text, "bearer")) {
        throw OAuthError("The token endpoint issued a token of type " + Shown(type->text) +
                         "; XOAUTH2 needs a bearer token");
    }
    grant.refreshToken = object.TextOf("refresh_token");
    if (const std::optional<double> expiresIn = object.NumberOf("expires_in"); expiresIn && *expiresIn > 0) {
        grant.expiresInSeconds = std::min(*expiresIn, kLongestTokenSeconds);
    }
    return grant;
}

DeviceGrant DeviceGrantOf(const JsonValue& object) {
    DeviceGrant grant;
    grant.deviceCode = object.TextOf("device_code");
    grant.userCode = Shown(object.TextOf("user_code"));
    grant.verificationUri = Shown(object.TextOf("verification_uri"));
    // Some providers name the field as it was named in drafts of the device flow.
    if (grant.verificationUri.empty()) grant.verificationUri = Shown(object.TextOf("verification_url"));
    grant.message = Shown(object.TextOf("message"));
    if (grant.deviceCode.empty() || grant.userCode.empty() || grant.verificationUri.empty()) {
        throw OAuthError("The device authorization endpoint's answer lacks device_code, user_code or verification_uri");
    }
    // Not every provider words the instruction itself.
    if (grant.message.empty()) {
        grant.message = "To sign in, open " + grant.verificationUri + " and enter the code " + grant.userCode + ".";
    }
    const std::optional<double> expiresIn = object.NumberOf("expires_in");
    grant.expiresInSeconds = expiresIn && *expiresIn > 0 ? std::min(*expiresIn, kLongestDeviceWaitSeconds) : 900;
    if (const std::optional<double> interval = object.NumberOf("interval"); interval && *interval >= 1) {
        grant.intervalSeconds = std::min(*interval, 60.0);
    }
    return grant;
}

}  // namespace zankit::mail
