// The portable core of the mail class clsSendMail: the one header the COM glue includes.
//
// Construction (the COM glue owns the core and implements MailEvents):
//   auto core = std::make_unique<zankit::mail::SendMailCore>(
//       zankit::mail::MakePlatformMailSystem(),
//       zankit::mail::MakePlatformSettingsStore("Settings"), *eventSink);
// Properties are read and written through Settings(); the methods below are the class's
// public members. Nothing here throws to the caller; failures become pending messages that
// reach the host through MailEvents::SendFailed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mail/address_validation.h"
#include "mail/message/encodings.h"
#include "mail/host_utilities.h"
#include "mail/mail_events.h"
#include "mail/mail_seam.h"
#include "mail/oauth/oauth_client.h"
#include "mail/oauth/oauth_seam.h"
#include "mail/session/mail_session.h"
#include "mail/settings/mail_settings.h"
#include "mail/session/mail_socket.h"
#include "mail/mail_types.h"
#include "mail/pending_errors.h"
#include "mail/session/session_pump.h"
#include "mail/tcp_channel.h"

namespace zankit::mail {

class MessageWriter;

inline constexpr std::string_view kDefaultContentType = "application/octet-stream";

class SendMailCore {
public:
    // The object's own socket runs over channel; by default the platform's TCP channel.
    SendMailCore(std::unique_ptr<MailSystem> system, std::unique_ptr<SettingsStore> store, MailEvents& events,
                 std::unique_ptr<TcpChannel> channel = nullptr);
    // Closes an open session (QUIT) before the socket goes.
    ~SendMailCore();
    SendMailCore(const SendMailCore&) = delete;
    SendMailCore& operator=(const SendMailCore&) = delete;

    MailSettings& Settings() { return settings_; }
    const MailSettings& Settings() const { return settings_; }

    // --- public methods of the class ---
    std::string GetContentType(const std::string& file,
                               const std::string& defaultType = std::string(kDefaultContentType));
    std::string GetIPAddress(std::string& hostName) { return hosts_.GetIPAddress(hostName); }
    std::string GetIPHost() { return hosts_.GetIPHost(); }
    bool IsValidEmailAddress(const std::string& address) const { return mail::IsValidEmailAddress(address); }
    bool Ping(std::string& address, std::string& roundTripTime, std::string& dataSize, bool& dataMatch) {
        return hosts_.Ping(address, roundTripTime, dataSize, dataMatch);
    }
    std::string DecodeBase64String(const std::string& encoded) const { return mail::DecodeBase64String(encoded); }
    // Checks the settings, then composes the message and delivers it over the session (opened
    // when none is open). The outcome reaches the host only through the events.
    void Send();
    // Opens the session and keeps it open after sends; true when it is ready.
    bool Connect();
    // Signs in at the OAuth provider and sets AccessToken; false when the user declined or did not
    // finish in time. Throws OAuthError for every other failure.
    bool OAuthSignIn(OAuthFlow flow);
    // Closes the session (QUIT when connected).
    void Disconnect() { session_.Disconnect(); }

    // --- shared services of the class ---
    PendingErrors& Errors() { return errors_; }
    FailureReporter& Failures() { return failures_; }
    MailSystem& System() { return *system_; }
    MailSession& Session() { return session_; }
    // "+hhmm" or "-hhmm", computed once when the object was made.
    const std::string& TimeZone() const { return timeZoneText_; }
    // The Date header value for the current local time.
    std::string MailDate();
    // Sets the reverse lookup that names the server in the Message-ID; it gets a dotted IPv4
    // address and answers a host name or "". Without one the Message-ID names the SMTP host as
    // configured.
    void SetReverseLookup(std::function<std::string(const std::string&)> lookup) { reverseLookup_ = std::move(lookup); }
    // Replaces the platform's network for the OAuth sign-in (the native tests use a scripted one).
    void SetOAuthNetwork(std::unique_ptr<OAuthNetwork> network) { oauthNetwork_ = std::move(network); }
    // Replaces the platform's TLS engines (the native tests use a scripted one).
    void SetTlsEngineFactory(TlsEngineFactory engines) { tlsEngines_ = std::move(engines); }

private:
    // True when the checks refused the send (SendFailed raised).
    bool CheckAndRefuse();
    void Transmit();
    // Opens the session for a send or Connect, with a renewed OAuth token where one is due; when
    // the server refuses a token the client can renew, renews it once and logs in again.
    bool OpenSessionWithToken();
    // True when the login uses a token the client can renew itself.
    bool RenewsOAuthToken() const;
    // Renews the token; false, with SendFailed raised, when that failed.
    bool RenewToken(OAuthClient& client);
    OAuthClient MakeOAuthClient();
    // MAIL FROM (with its parameters), RCPT TO and DATA, in one write when the server offers
    // PIPELINING; fills the To and Cc lines. True when DATA was answered 354.
    bool SendEnvelope(const MailSettings& s, std::string_view mailParameters, std::string& toLine, std::string& ccLine);
    // Ends a send the session cannot carry, before MAIL FROM, with description.
    void RefuseSend(const std::string& description);
    bool SendAttachments(const MailSettings& s, MessageWriter& writer, const std::string& boundary, bool related);
    std::string MessageIdHost(const MailSettings& s);

    std::unique_ptr<MailSystem> system_;
    std::unique_ptr<SettingsStore> store_;
    MailEvents& events_;
    TlsEngineFactory tlsEngines_;
    std::unique_ptr<OAuthNetwork> oauthNetwork_;
    MailSocket socket_;
    SessionPump pump_;
    PendingErrors errors_;
    FailureReporter failures_;
    HostUtilities hosts_;
    MailSettings settings_;
    std::string timeZoneText_;
    MailSession session_;
    std::function<std::string(const std::string&)> reverseLookup_;
};

}  // namespace zankit::mail
