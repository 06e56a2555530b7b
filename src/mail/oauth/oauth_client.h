// The OAuth 2.0 client of a mail object: signs the user in (device code, browser with PKCE and a
// loopback redirect, client credentials), renews the access token with the refresh token, and
// writes what it obtained into the object's settings (AccessToken, its end, the refresh token).
//
//   OAuthClient client(settings, network, system, onUserCode);
//   if (client.SignIn(OAuthFlow::DeviceCode)) ... AccessToken is set
//
// Failures throw OAuthError with the text the host sees; only a sign-in the user declined or
// did not finish in time answers false.
#pragma once

#include <functional>
#include <string>

#include "mail/mail_seam.h"
#include "mail/oauth/endpoint_answer.h"
#include "mail/oauth/oauth_forms.h"
#include "mail/oauth/oauth_seam.h"
#include "mail/settings/mail_settings.h"

namespace zankit::mail {

enum class OAuthFlow { DeviceCode = 0, Browser = 1, ClientCredentials = 2 };

// Told the verification address, the user code and the provider's message once in the device
// flow; the arguments may be changed by the host and are not read back.
using UserCodeNotice = std::function<void(std::string& verificationUri, std::string& userCode, std::string& message)>;

// How long the browser flow waits for the browser's redirect.
inline constexpr double kBrowserWaitSeconds = 300;
// A token with less time left than this is renewed before a login.
inline constexpr double kTokenMarginSeconds = 60;

class OAuthClient {
public:
    OAuthClient(MailSettings& settings, OAuthNetwork& network, MailSystem& system, UserCodeNotice onUserCode);

    // Signs in with flow. A stored refresh token is tried first for the device and browser flows:
    // while the endpoint accepts it, the user sees nothing.
    bool SignIn(OAuthFlow flow);
    // True when AccessToken is set and holds for at least another minute (or has no known end).
    bool TokenFresh();
    // A new access token without the user: the refresh token, else the client's credentials.
    void Renew();

private:
    void CheckEndpoint(const std::string& url, std::string_view property) const;
    // Tries the refresh token; false when the endpoint no longer accepts it (it is then cleared).
    bool TrySilentRenewal();
    bool DeviceFlow();
    bool BrowserFlow();
    void ClientCredentials();
    // Posts fields (plus the client's id and secret) to the token endpoint; the grant on success,
    // the endpoint's refusal otherwise.
    EndpointReply RequestToken(FormFields fields);
    EndpointReply RequestRefresh();
    void Apply(const TokenGrant& grant);
    // Waits seconds, letting the host's events run.
    void Wait(double seconds);
    double NowUtc();

    MailSettings& settings_;
    OAuthNetwork& network_;
    MailSystem& system_;
    UserCodeNotice onUserCode_;
};

}  // namespace zankit::mail
