// The SMTP/POP3 conversation of one mail object over its own socket: opening the session
// (optional POP3 login first, connection attempts, greeting, EHLO/HELO, optional AUTH LOGIN),
// judging the servers' replies, and closing with QUIT.
//
// Every command states the reply it waits for; a reply is judged against that and nothing
// else, so a server cannot draw credentials or commands out of the client by answering out of
// turn. Send drives each command through Exchange:
//   session.Exchange("MAIL FROM: <a@b.c>", &SessionFlags::replyOK, messageTimeout);
// or, when the server offers PIPELINING, the whole envelope through ExchangeGroup, which keeps
// the replies still awaited in a queue, in the order the commands left.
// A refusing reply never sets the flag: the reply handler reports it through SendFailed and
// sets Failed, which ends the wait.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/session/auth_rules.h"
#include "mail/mail_events.h"
#include "mail/mail_seam.h"
#include "mail/settings/mail_settings.h"
#include "mail/session/mail_socket.h"
#include "mail/pending_errors.h"
#include "mail/session/reply_assembler.h"

namespace zankit::mail {

// Flags and counters of the session; plain fields written by the event handlers and read by
// the waiting code on the same thread.
struct SessionFlags {
    bool connected = false;         // the socket reported an established connection
    bool keepConnection = false;    // set by Connect; Send closes after success only without it
    bool replyOK = false;           // 220, 221, 250 or 251 answered the command waiting
    bool dataReady = false;         // 354 answered DATA
    bool groupAdvanced = false;     // a command of the envelope group was answered positively
    bool groupSettled = false;      // every reply to a refused envelope group has come (or the socket closed)
    bool authLoginOffered = false;  // the reply to EHLO named AUTH LOGIN
    bool authAccepted = false;      // 235 arrived during the login
    bool secured = false;           // the TLS handshake asked for has finished
    bool pop3Done = false;          // the POP3 dialogue completed
    std::int64_t bytesSent = 0;     // reported sent during the current send
    std::int64_t bytesRemaining = 0;
    std::int64_t totalBytes = 0;   // estimated size of the whole transmission
    std::int32_t lastPercent = 0;  // last percentage raised; kept for the object's life
};

// Finds the mail exchanger of the machine's own domain; "" when there is none.
using MxLookup = std::function<std::string()>;

inline constexpr std::int32_t kPop3Port = 110;
// POP3 with TLS from the first byte, used when Security asks for TLS from the start.
inline constexpr std::int32_t kPop3TlsPort = 995;

// What a command or a piece of bytes carries; the session's one check before anything leaves
// (MailSession::MayLeave) lets a login or message data out only over a channel Security allows.
enum class Carries { Control, Secret, MessageData };

// One command of an envelope group and the Status text said when it is the one awaited
// (empty: none), as it would be said just before the command left one at a time.
struct GroupCommand {
    std::string line;
    std::string status;
};

// The settings a session was opened with. A kept session is used again only while the current
// settings still name the same terms; the secrets among them are wiped with it.
struct SessionTerms {
    std::string host;
    std::int32_t port = 0;
    std::int32_t security = 0;
    bool allowInvalidCertificate = false;
    bool login = false;
    std::string username;
    std::string password;
    std::string accessToken;
    std::int32_t mechanism = 0;

    static SessionTerms Of(const MailSettings& settings);
    SessionTerms() = default;
    SessionTerms(const SessionTerms&) = default;
    SessionTerms& operator=(const SessionTerms&) = default;
    ~SessionTerms();
    bool operator==(const SessionTerms&) const = default;
};

class MailSession final : public SocketEvents {
public:
    MailSession(MailSettings& settings, MailSocket& socket, PendingErrors& errors, FailureReporter& failures,
                MailEvents& events, WaitHooks& pump);
    ~MailSession() override;
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // Replaces the MX lookup used when SMTPHost is empty (by default nothing is found).
    void SetMxLookup(MxLookup lookup) { mxLookup_ = std::move(lookup); }
    // Logs commands (secrets masked) and replies; none by default.
    void SetTraceLog(std::unique_ptr<TraceLog> trace) { trace_ = std::move(trace); }

    // Asks for EHLO in sessions opened from now on even without login or TLS, so the server's
    // extensions (8BITMIME, SMTPUTF8) are known.
    void WantExtensions(bool wanted) { extensionsWanted_ = wanted; }
    // What the server's last EHLO reply offered (nothing after HELO).
    const ServerOffer& Offer() const { return offer_; }

    // While set, a server's refusal of an XOAUTH2 login ends the login without SendFailed and is
    // noted in TokenRefused, so the caller can renew the token and open the session again.
    void SetQuietTokenRefusal(bool quiet) { quietTokenRefusal_ = quiet; }
    // True when the session opened last ended because the server refused the XOAUTH2 token quietly.
    bool TokenRefused() const { return tokenRefused_; }

    // The class's Connect and Disconnect.
    bool Connect();
    void Disconnect();

    // True when the SMTP session is ready for MAIL FROM. An open session is used again only
    // while it was opened with the current settings; otherwise it is closed and opened anew.
    bool OpenSession();
    // QUIT (waiting at most 2 seconds for its reply, also after a failure) when connected,
    // then closes the socket.
    void CloseSession();

    // Clears flag, writes the command and waits for flag with raiseTimeout set; true when the
    // flag was set and the session has not failed. flag selects the reply waited for:
    // dataReady the 354 of DATA, replyOK a completion reply.
    bool Exchange(std::string_view command, bool SessionFlags::*flag, long seconds);
    // True when the server offered PIPELINING in its last EHLO reply.
    bool Pipelines() const { return offer_.pipelining; }
    // Writes the whole envelope (MAIL FROM, the RCPT TO lines, DATA last) at once and matches
    // the replies to the commands in order; each reply is awaited at most seconds. True when
    // every command was accepted and DATA answered 354. A refusal is reported as Exchange
    // reports it; the replies to the commands after it are read and dropped before QUIT.
    bool ExchangeGroup(const std::vector<GroupCommand>& commands, long seconds);

    // Queues message bytes as they are (the message writer's filter has made them safe) once
    // MayLeave allows them, then holds back while more than limit bytes wait; false when the
    // send has failed or no byte left for MessageTimeout seconds (reported as a timeout).
    bool SendMessageData(std::string_view bytes, std::size_t limit);
    bool WaitForQueueBelow(std::size_t limit);
    // Records a failure of the message's data (a file, the socket) and reports it.
    void FailTransmit(std::string_view description);

    SessionFlags& Flags() { return flags_; }
    int SocketState() const { return socket_.State(); }
    bool Failed() const { return failures_.Failed(); }
    // Lets pending events run once (the platform's and the socket's).
    void Pump() { pump_.PumpEvents(); }

    // Socket events.
    void OnConnect() override;
    void OnClose() override;
    void OnDataArrival(const std::string& data) override;
    void OnSendProgress(std::int64_t bytesSent, std::int64_t bytesRemaining) override;
    void OnError(const std::string& description) override;
    void OnSecured() override;
    void OnTlsNotice(const std::string& notice) override;

private:
    // The reply the session waits for.
    enum class Awaiting {
        Nothing,
        Greeting,
        Hello,
        AuthStart,
        AuthUser,
        AuthPassword,
        StartTls,
        Completion,
        Data,
        Quit,
        GroupRest,  // the replies to the rest of an envelope group after a refusal, dropped
        Pop3Greeting,
        Pop3Capabilities,     // the first line of the answer to CAPA
        Pop3CapabilityLines,  // the lines after it, up to "."
        Pop3StartTls,
        Pop3Handshake,
        Pop3User,
        Pop3Password,
        Pop3Quit,
    };

    bool OpenSessionSteps();
    // A Security or AuthMechanism read from the store outside its enumeration: no session is
    // opened, not even one without TLS. True when the refusal has been reported.
    bool RefuseInvalidStoredSettings();
    bool Pop3Login();
    // USER, whose answer the reply handler follows with PASS and QUIT.
    void Pop3SendUser();
    // CAPA answered: STLS when offered, else the login is refused before USER.
    void Pop3CapabilityLine(const Reply& reply);
    // The POP3 dialogue ends without a login: TLS was asked for and not offered.
    void Pop3RefuseClearLogin();
    bool GreetSmtp();
    // EHLO (HELO for a plain session without login) and its reply.
    bool Hello();
    // STARTTLS, the handshake and EHLO again; the offer after it replaces the one before.
    bool UpgradeToTls();
    // Waits for the handshake under way; false when it failed (already reported) or timed out.
    bool AwaitSecured();
    // The Status texts of a finished handshake.
    void ReportSecured();
    // True when a session is open with the current settings, so it may carry the next message.
    bool KeptSessionFits() const;
    bool Authenticate();
    bool StartLogin(LoginMechanism mechanism);
    // True when the session must not go on in the clear.
    bool RequiresTls() const { return settings_.Security() >= SECURITY_STARTTLS_REQUIRED; }
    TlsRequest TlsFor(const std::string& host) const { return {host, settings_.AllowInvalidCertificate()}; }
    // The one check every outgoing line and message byte passes: true when what may leave on the
    // channel as it is now. A login needs an encrypted channel under every Security but 0; message
    // data under 2 and 3; a Security outside the enumeration allows nothing in the clear.
    bool MayLeave(Carries what) const;
    // Reports the refusal of MayLeave and ends the session.
    void RefuseClearChannel();
    // The connection attempts; false when a failure ended them.
    bool ConnectAttempts(const std::string& host, std::int32_t port, const std::optional<TlsRequest>& tls = {});
    void CloseSocket();
    // Writes line and CR LF and waits for the reply awaiting; traced shows in the trace in
    // place of the line. False, with nothing written, when bytes received before it wait
    // unjudged: they cannot answer it.
    // A line carrying a secret or message data leaves only when MayLeave allows it.
    bool SendCommand(std::string_view line, Awaiting awaiting, Carries carries = Carries::Control,
                     std::string_view traced = {});
    // Fails the session, as an unexpected answer, when bytes wait unjudged: they cannot answer
    // a command not sent yet.
    bool FailOnUnjudgedReplies();
    void JudgeReply(const Reply& reply);
    void JudgeSmtpReply(const Reply& reply);
    void JudgePop3Reply(const Reply& reply);
    void AnswerAuthPrompt(const Reply& reply);
    void Refuse(const Reply& reply);
    // A positive reply to a command of an envelope group: the next reply answers the next command.
    void AdvanceGroup();
    // Nothing more is awaited from the current command: the rest of an envelope group, if
    // any, is read and dropped.
    void StopAwaiting();
    void DropGroupReply(const Reply& reply);
    // Before QUIT: reads what is left of an envelope group. False when QUIT must not be sent
    // (DATA was accepted, so QUIT would be read as message text, or the replies did not come).
    bool SettleGroup();
    void FailUnexpected(std::string_view received);
    void Trace(std::string_view prefix, std::string_view text);
    void Say(std::string text);

    MailSettings& settings_;
    MailSocket& socket_;
    PendingErrors& errors_;
    FailureReporter& failures_;
    MailEvents& events_;
    WaitHooks& pump_;
    MxLookup mxLookup_;
    std::unique_ptr<TraceLog> trace_;
    ReplyAssembler replies_;
    SessionFlags flags_;
    Awaiting awaiting_ = Awaiting::Nothing;
    // The replies awaited after the current one, in the order of the commands already sent.
    struct AwaitedReply {
        Awaiting awaiting;
        std::string status;
    };
    std::deque<AwaitedReply> awaitingNext_;
    bool groupDataOpen_ = false;  // a dropped reply was the 354 of a pipelined DATA
    ServerOffer offer_;           // what the last EHLO reply announced
    LoginMechanism mechanism_ = LoginMechanism::None;
    // The line that ends a login (XOAUTH2's empty answer, the "*" of a cancel) has been sent;
    // a further prompt is an unexpected answer.
    bool loginEnding_ = false;
    bool pop3OffersStls_ = false;
    std::optional<SessionTerms> openTerms_;  // the settings of the SMTP session opened last
    bool closing_ = false;
    bool extensionsWanted_ = false;
    bool quietTokenRefusal_ = false;
    bool tokenRefused_ = false;
};

}  // namespace zankit::mail
