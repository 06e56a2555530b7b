// Reading what an OAuth endpoint answered: the JSON object of a success, the endpoint's own
// error and description, or the text for an answer that is neither.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mail/oauth/json_reader.h"
#include "mail/oauth/oauth_seam.h"

namespace zankit::mail {

// The largest answer read from an endpoint.
inline constexpr std::size_t kEndpointAnswerLimit = 1024 * 1024;

// An endpoint's "error" and "error_description", cleaned for display.
struct EndpointRefusal {
    std::string error;
    std::string description;
};

// A success (the answer's object) or a refusal. Throws OAuthError for an answer that is neither:
// too large, not JSON, no object, or an HTTP failure without an error object. endpoint names the
// endpoint in those texts ("token endpoint").
struct EndpointReply {
    JsonValue object;
    std::optional<EndpointRefusal> refusal;
};
EndpointReply ReadEndpointAnswer(const HttpsAnswer& answer, std::string_view endpoint);

// A refusal with its texts made fit for display: bounded, on one line.
EndpointRefusal RefusalOf(std::string_view error, std::string_view description);

// "The token endpoint answered invalid_client: Client authentication failed".
std::string RefusalText(std::string_view endpoint, const EndpointRefusal& refusal);

// What a token endpoint granted.
struct TokenGrant {
    std::string accessToken;
    std::string refreshToken;                // empty when none was given
    std::optional<double> expiresInSeconds;  // nothing when not given
    TokenGrant() = default;
    TokenGrant(const TokenGrant&) = delete;
    TokenGrant& operator=(const TokenGrant&) = delete;
    TokenGrant(TokenGrant&&) = default;
    ~TokenGrant();
};
// Throws OAuthError when the object holds no access token or one of another type than bearer.
TokenGrant TokenGrantOf(const JsonValue& object);

// What a device authorization endpoint answered.
struct DeviceGrant {
    std::string deviceCode;
    std::string userCode;
    std::string verificationUri;
    std::string message;
    double expiresInSeconds = 0;
    double intervalSeconds = 5;
};
// Throws OAuthError when the object lacks the device code, the user code or the address.
DeviceGrant DeviceGrantOf(const JsonValue& object);

}  // namespace zankit::mail
