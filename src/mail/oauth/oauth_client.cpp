#include "mail/oauth/oauth_client.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "frame/date_value.h"
#include "mail/secret_text.h"

namespace zankit::mail {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr std::string_view kTokenEndpoint = "token endpoint";
constexpr std::string_view kDeviceEndpoint = "device authorization endpoint";
constexpr std::string_view kAuthorizeEndpoint = "authorization endpoint";
constexpr std::string_view kDeviceGrantType = "urn:ietf:params:oauth:grant-type:device_code";
// Added to the polling interval each time the endpoint answers slow_down.
constexpr double kSlowDownSeconds = 5;
constexpr unsigned kWaitStepMilliseconds = 100;
constexpr unsigned kListenStepMilliseconds = 100;
constexpr std::size_t kVerifierBytes = 48;
constexpr std::size_t kStateBytes = 16;

constexpr std::string_view kSignedInPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Signed in</title></head>"
    "<body><p>Signed in. You can close this window and return to the application.</p></body></html>";
constexpr std::string_view kEndedPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sign-in ended</title></head>"
    "<body><p>The sign-in did not complete. You can close this window.</p></body></html>";
constexpr std::string_view kNotFoundPage = "<!DOCTYPE html><html><body><p>Not found.</p></body></html>";

bool Declined(const EndpointRefusal& refusal) {
    return refusal.error == "access_denied" || refusal.error == "expired_token";
}

std::string PathOf(std::string_view target) { return std::string(target.substr(0, target.find('?'))); }

}  // namespace

OAuthClient::OAuthClient(MailSettings& settings, OAuthNetwork& network, MailSystem& system, UserCodeNotice onUserCode)
    : settings_(settings), network_(network), system_(system), onUserCode_(std::move(onUserCode)) {}

void OAuthClient::CheckEndpoint(const std::string& url, std::string_view property) const {
    if (url.empty()) throw OAuthError(std::string(property) + " is not set");
    if (!IsHttpsUrl(url)) throw OAuthError("OAuth endpoints must use https: " + url);
}

bool OAuthClient::SignIn(OAuthFlow flow) {
    if (settings_.OAuthClientId().empty()) throw OAuthError("OAuthClientId is not set");
    CheckEndpoint(settings_.OAuthTokenUrl(), "OAuthTokenUrl");
    switch (flow) {
        case OAuthFlow::DeviceCode:
            CheckEndpoint(settings_.OAuthDeviceCodeUrl(), "OAuthDeviceCodeUrl");
            return TrySilentRenewal() || DeviceFlow();
        case OAuthFlow::Browser:
            CheckEndpoint(settings_.OAuthAuthorizeUrl(), "OAuthAuthorizeUrl");
            return TrySilentRenewal() || BrowserFlow();
        case OAuthFlow::ClientCredentials:
            ClientCredentials();
            return true;
    }
    throw OAuthError("Unknown OAuth flow");
}

bool OAuthClient::TokenFresh() {
    if (settings_.AccessToken().empty()) return false;
    const double expires = settings_.TokenExpiresUtc();
    return expires == 0 || expires - NowUtc() >= kTokenMarginSeconds / kSecondsPerDay;
}

void OAuthClient::Renew() {
    if (settings_.OAuthClientId().empty()) throw OAuthError("OAuthClientId is not set");
    CheckEndpoint(settings_.OAuthTokenUrl(), "OAuthTokenUrl");
    if (!settings_.OAuthRefreshToken().empty()) {
        EndpointReply reply = RequestRefresh();
        if (reply.refusal) throw OAuthError(RefusalText(kTokenEndpoint, *reply.refusal));
        Apply(TokenGrantOf(reply.object));
    } else if (!settings_.OAuthClientSecret().empty()) {
        ClientCredentials();
    } else {
        throw OAuthError("No OAuth refresh token: sign in with OAuthSignIn first");
    }
}

bool OAuthClient::TrySilentRenewal() {
    if (settings_.OAuthRefreshToken().empty()) return false;
    EndpointReply reply = RequestRefresh();
    if (!reply.refusal) {
        Apply(TokenGrantOf(reply.object));
        return true;
    }
    if (reply.refusal->error != "invalid_grant") throw OAuthError(RefusalText(kTokenEndpoint, *reply.refusal));
    // Revoked or run out: the user signs in again.
    settings_.SetOAuthRefreshToken("");
    return false;
}

bool OAuthClient::DeviceFlow() {
    FormFields fields{{"client_id", settings_.OAuthClientId()}, {"scope", settings_.OAuthScope()}};
    const EndpointReply reply = ReadEndpointAnswer(
        network_.PostForm(settings_.OAuthDeviceCodeUrl(), FormEncode(fields), kEndpointAnswerLimit), kDeviceEndpoint);
    if (reply.refusal) throw OAuthError(RefusalText(kDeviceEndpoint, *reply.refusal));
    DeviceGrant device = DeviceGrantOf(reply.object);
    WipedOnExit wipeDeviceCode(device.deviceCode);
    const double deadline = NowUtc() + device.expiresInSeconds / kSecondsPerDay;
    {
        std::string uri = device.verificationUri;
        std::string code = device.userCode;
        std::string message = device.message;
        if (onUserCode_) onUserCode_(uri, code, message);
    }
    double interval = device.intervalSeconds;
    while (true) {
        Wait(interval);
        if (NowUtc() >= deadline) return false;
        EndpointReply answer =
            RequestToken({{"grant_type", std::string(kDeviceGrantType)}, {"device_code", device.deviceCode}});
        if (!answer.refusal) {
            Apply(TokenGrantOf(answer.object));
            return true;
        }
        const std::string& error = answer.refusal->error;
        if (error == "authorization_pending") continue;
        if (error == "slow_down") {
            interval += kSlowDownSeconds;
            continue;
        }
        if (Declined(*answer.refusal)) return false;
        throw OAuthError(RefusalText(kTokenEndpoint, *answer.refusal));
    }
}

bool OAuthClient::BrowserFlow() {
    const std::unique_ptr<LoopbackListener> listener = network_.ListenOnLoopback();
    const std::string redirectUri = "http://127.0.0.1:" + std::to_string(listener->Port()) + "/";
    ProofKey key = ProofKeyFrom(network_.RandomBytes(kVerifierBytes));
    WipedOnExit wipeVerifier(key.verifier);
    const std::string state = Base64Url(network_.RandomBytes(kStateBytes));
    const std::string address = WithQuery(settings_.OAuthAuthorizeUrl(), {{"response_type", "code"},
                                                                          {"client_id", settings_.OAuthClientId()},
                                                                          {"redirect_uri", redirectUri},
                                                                          {"scope", settings_.OAuthScope()},
                                                                          {"state", state},
                                                                          {"code_challenge", key.challenge},
                                                                          {"code_challenge_method", "S256"}});
    if (!network_.OpenInBrowser(address)) throw OAuthError("No browser could be started for the sign-in");

    const double deadline = NowUtc() + kBrowserWaitSeconds / kSecondsPerDay;
    std::map<std::string, std::string> fields;
    while (true) {
        system_.PumpEvents();
        if (NowUtc() >= deadline) return false;
        const std::optional<std::string> target = listener->NextRequest(kListenStepMilliseconds);
        if (!target) continue;
        fields = QueryFields(*target);
        if (PathOf(*target) == "/" && (fields.contains("code") || fields.contains("error"))) break;
        listener->Answer(404, std::string(kNotFoundPage));
    }
    std::string& code = fields["code"];
    WipedOnExit wipeCode(code);
    if (fields["state"] != state) {
        listener->Answer(400, std::string(kEndedPage));
        throw OAuthError("The browser's answer does not belong to this sign-in (state does not match)");
    }
    if (fields.contains("error")) {
        listener->Answer(200, std::string(kEndedPage));
        const EndpointRefusal refusal = RefusalOf(fields["error"], fields["error_description"]);
        if (refusal.error == "access_denied") return false;
        throw OAuthError(RefusalText(kAuthorizeEndpoint, refusal));
    }
    listener->Answer(200, std::string(kSignedInPage));
    EndpointReply reply = RequestToken({{"grant_type", "authorization_code"},
                                        {"code", code},
                                        {"redirect_uri", redirectUri},
                                        {"code_verifier", key.verifier}});
    if (reply.refusal) throw OAuthError(RefusalText(kTokenEndpoint, *reply.refusal));
    Apply(TokenGrantOf(reply.object));
    return true;
}

void OAuthClient::ClientCredentials() {
    if (settings_.OAuthClientSecret().empty()) {
        throw OAuthError("OAuthClientSecret is not set: the client credentials flow needs it");
    }
    EndpointReply reply = RequestToken({{"grant_type", "client_credentials"}, {"scope", settings_.OAuthScope()}});
    if (reply.refusal) throw OAuthError(RefusalText(kTokenEndpoint, *reply.refusal));
    Apply(TokenGrantOf(reply.object));
}

EndpointReply OAuthClient::RequestToken(FormFields fields) {
    fields.emplace_back("client_id", settings_.OAuthClientId());
    if (!settings_.OAuthClientSecret().empty()) fields.emplace_back("client_secret", settings_.OAuthClientSecret());
    std::string form = FormEncode(fields);
    WipedOnExit wipeForm(form);
    for (auto& field : fields) WipeString(field.second);
    return ReadEndpointAnswer(network_.PostForm(settings_.OAuthTokenUrl(), form, kEndpointAnswerLimit), kTokenEndpoint);
}

EndpointReply OAuthClient::RequestRefresh() {
    return RequestToken({{"grant_type", "refresh_token"}, {"refresh_token", settings_.OAuthRefreshToken()}});
}

void OAuthClient::Apply(const TokenGrant& grant) {
    const double expires = grant.expiresInSeconds ? NowUtc() + *grant.expiresInSeconds / kSecondsPerDay : 0.0;
    settings_.SetGrantedToken(grant.accessToken, expires);
    if (!grant.refreshToken.empty()) settings_.SetOAuthRefreshToken(grant.refreshToken);
}

void OAuthClient::Wait(double seconds) {
    const double until = NowUtc() + seconds / kSecondsPerDay;
    while (NowUtc() < until) {
        system_.PumpEvents();
        system_.SleepMilliseconds(kWaitStepMilliseconds);
    }
}

double OAuthClient::NowUtc() {
    const UtcStamp now = system_.UtcNow();
    const CalendarTime calendar{now.year, now.month, now.day, now.hour, now.minute, now.second};
    return DateFromCalendar(calendar) + now.millisecond / (kSecondsPerDay * 1000.0);
}

}  // namespace zankit::mail
