#include "mail/mail_core.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace zankit::mail {

SendMailCore::SendMailCore(std::unique_ptr<MailSystem> system, std::unique_ptr<SettingsStore> store, MailEvents& events,
                           std::unique_ptr<TcpChannel> channel)
    : system_(std::move(system)),
      store_(std::move(store)),
      events_(events),
      tlsEngines_([this] { return system_->MakeTlsEngine(); }),
      socket_(channel ? std::move(channel) : system_->MakeTcpChannel(), [this] { return tlsEngines_(); }),
      pump_(*system_, socket_),
      failures_(errors_, events_, pump_),
      hosts_(*system_),
      settings_(errors_, *store_, *system_, hosts_),
      timeZoneText_(TimeZoneText(system_->TimeZoneBiasMinutes())),
      session_(settings_, socket_, errors_, failures_, events_, pump_) {
    session_.SetTraceLog(system_->OpenTraceLog());
    failures_.SetSessionCloser([this] {
        if (socket_.State() > kSocketClosed) session_.CloseSession();
    });
}

SendMailCore::~SendMailCore() {
    failures_.SetSessionCloser(nullptr);
    if (socket_.State() > kSocketClosed) session_.CloseSession();
}

std::string SendMailCore::GetContentType(const std::string& file, const std::string& defaultType) {
    const auto dot = file.rfind('.');
    if (dot == std::string::npos) return defaultType;
    return system_->ContentTypeForExtension(file.substr(dot)).value_or(defaultType);
}

std::string SendMailCore::MailDate() { return FormatMailDate(system_->LocalNow(), timeZoneText_); }

bool SendMailCore::Connect() {
    session_.Flags().keepConnection = true;
    return OpenSessionWithToken();
}

OAuthClient SendMailCore::MakeOAuthClient() {
    if (!oauthNetwork_) oauthNetwork_ = system_->MakeOAuthNetwork();
    if (!oauthNetwork_) throw OAuthError("The OAuth sign-in is not available on this platform");
    return OAuthClient(settings_, *oauthNetwork_, *system_,
                       [this](std::string& uri, std::string& code, std::string& message) {
                           events_.OAuthUserCode(uri, code, message);
                       });
}

bool SendMailCore::OAuthSignIn(OAuthFlow flow) { return MakeOAuthClient().SignIn(flow); }

bool SendMailCore::RenewsOAuthToken() const {
    const MailSettings& s = settings_;
    return s.UseAuthentication() && s.OAuthRenewable() &&
           (s.AuthMechanism() == AUTH_XOAUTH2 || s.AuthMechanism() == AUTH_AUTOMATIC);
}

bool SendMailCore::RenewToken(OAuthClient& client) {
    std::string status = "Renewing OAuth Token...";
    events_.Status(status);
    try {
        client.Renew();
        return true;
    } catch (const OAuthError& failure) {
        errors_.Add(std::string("OAuth token renewal failed: ") + failure.what());
        failures_.RaiseFailure();
        return false;
    }
}

bool SendMailCore::OpenSessionWithToken() {
    if (!RenewsOAuthToken()) return session_.OpenSession();
    // A kept session logged in with the current token needs no new one.
    OAuthClient client = MakeOAuthClient();
    if (!client.TokenFresh() && !RenewToken(client)) return false;
    session_.SetQuietTokenRefusal(true);
    const bool open = session_.OpenSession();
    session_.SetQuietTokenRefusal(false);
    if (open || !session_.TokenRefused()) return open;
    // The server no longer takes the token (revoked before its end): one new token, one more login.
    session_.CloseSession();
    failures_.SetFailed(false);
    if (!RenewToken(client)) return false;
    return session_.OpenSession();
}

bool SendMailCore::CheckAndRefuse() {
    const MailSettings& s = settings_;
    if (s.From().empty()) errors_.Add(kInvalidSender);
    if (s.AsHTML() && s.EncodeType() == UU_ENCODE) {
        errors_.Add("Sending HTML requires MIME encoding");
    }
    const std::size_t recipientCount = s.Recipients().size() + s.CcRecipients().size() + s.BccRecipients().size();
    if (recipientCount == 0) errors_.Add("No Recipient E-mail Address Specified");
    if (recipientCount > static_cast<std::size_t>(std::max<std::int32_t>(s.MaxRecipients(), 0))) {
        errors_.Add("Too many recipients");
    }
    for (const std::string_view complaint : s.InvalidStoredSettings()) errors_.Add(complaint);
    settings_.ResizeDisplayNames();
    if (errors_.Empty()) return false;
    failures_.RaiseFailure();
    return true;
}

}  // namespace zankit::mail
