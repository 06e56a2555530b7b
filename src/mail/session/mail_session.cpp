#include "mail/session/mail_session.h"

#include <exception>
#include <utility>
#include <vector>

#include "mail/address_validation.h"
#include "mail/message/encodings.h"
#include "mail/secret_text.h"
#include "mail/session/session_rules.h"
#include "mail/tls/tls_engine.h"
#include "mail/message/wire_text.h"

namespace zankit::mail {
namespace {

constexpr long kAuthWaitSeconds = 5;
constexpr long kQuitWaitSeconds = 2;
constexpr std::string_view kMasked = "****";

}  // namespace

SessionTerms SessionTerms::Of(const MailSettings& settings) {
    SessionTerms terms;
    terms.host = settings.SMTPHost();
    terms.port = settings.SMTPPort();
    terms.security = settings.Security();
    terms.allowInvalidCertificate = settings.AllowInvalidCertificate();
    terms.login = settings.UseAuthentication();
    terms.username = settings.Username();
    terms.password = settings.Password();
    terms.accessToken = settings.AccessToken();
    terms.mechanism = settings.AuthMechanism();
    return terms;
}

SessionTerms::~SessionTerms() {
    WipeString(password);
    WipeString(accessToken);
}

MailSession::MailSession(MailSettings& settings, MailSocket& socket, PendingErrors& errors, FailureReporter& failures,
                         MailEvents& events, WaitHooks& pump)
    : settings_(settings), socket_(socket), errors_(errors), failures_(failures), events_(events), pump_(pump) {
    socket_.SetEvents(this);
}

MailSession::~MailSession() { socket_.SetEvents(nullptr); }

bool MailSession::Connect() {
    flags_.keepConnection = true;
    return OpenSession();
}

void MailSession::Disconnect() {
    flags_.keepConnection = false;
    CloseSession();
}

bool MailSession::OpenSession() {
    try {
        return OpenSessionSteps();
    } catch (const std::exception& failure) {
        Say(std::string("Connect error: ") + failure.what());
        return false;
    }
}

bool MailSession::OpenSessionSteps() {
    tokenRefused_ = false;
    if (RefuseInvalidStoredSettings()) return false;
    if (socket_.State() == kSocketConnected) {
        if (KeptSessionFits()) return true;
        // Opened with other settings (in the clear before TLS was asked for, for another host
        // or login): it carries nothing more.
        CloseSession();
    }
    openTerms_.reset();
    if (socket_.State() > kSocketClosed) {
        CloseSocket();
        Pump();
    }

    if (settings_.SMTPHost().empty() && mxLookup_) {
        const std::string exchanger = mxLookup_();
        if (!exchanger.empty()) settings_.StoreDiscoveredSMTPHost(exchanger);
    }
    if (settings_.SMTPHost().empty()) {
        errors_.Add(kInvalidSmtpHost);
        return false;
    }

    if (settings_.UsePopAuthentication() && !Pop3Login()) return false;

    flags_.replyOK = false;
    flags_.dataReady = false;
    flags_.authLoginOffered = false;
    flags_.authAccepted = false;
    flags_.secured = false;
    failures_.SetFailed(false);
    flags_.connected = false;
    if (socket_.State() > kSocketClosed) {
        CloseSocket();
        Pump();
    }
    const std::string host = ToAsciiDomain(settings_.SMTPHost());
    openTerms_ = SessionTerms::Of(settings_);
    Pump();
    Say("Connecting to SMTP Server (" + host + ")...");
    replies_.SetMode(ReplyAssembler::Mode::Smtp);
    awaiting_ = Awaiting::Greeting;
    const bool tlsFromStart = settings_.Security() == SECURITY_TLS;
    if (!ConnectAttempts(host, settings_.SMTPPort(), tlsFromStart ? std::optional(TlsFor(host)) : std::nullopt)) {
        return false;
    }
    if (tlsFromStart && !AwaitSecured()) return false;
    return GreetSmtp();
}

bool MailSession::KeptSessionFits() const {
    return openTerms_ && *openTerms_ == SessionTerms::Of(settings_) && (!RequiresTls() || socket_.Secure());
}

bool MailSession::RefuseInvalidStoredSettings() {
    const std::vector<std::string_view> complaints = settings_.InvalidStoredSettings();
    if (complaints.empty()) return false;
    for (const std::string_view complaint : complaints) errors_.Add(complaint);
    failures_.RaiseFailure();
    return true;
}

bool MailSession::ConnectAttempts(const std::string& host, std::int32_t port, const std::optional<TlsRequest>& tls) {
    const long timeout = settings_.ConnectTimeout();
    for (std::int32_t attempt = 1; attempt <= settings_.ConnectRetry(); ++attempt) {
        if (socket_.State() == kSocketConnected) {
            flags_.connected = true;
            break;
        }
        flags_.connected = false;
        if (socket_.State() == kSocketClosed) {
            Trace("-- connect ", host + ":" + std::to_string(port));
            socket_.Connect(host, port, tls);
        }
        if (failures_.WaitForFlag(flags_.connected, timeout, false)) break;
        if (failures_.Failed()) return false;
        if (socket_.State() == kSocketError) CloseSocket();
        Pump();
    }
    return true;
}

bool MailSession::GreetSmtp() {
    const long timeout = settings_.ConnectTimeout();
    Pump();
    const bool greeted = failures_.WaitForFlag(flags_.replyOK, timeout, false);
    if (socket_.State() != kSocketConnected || failures_.Failed() || !flags_.connected || !greeted) {
        failures_.ReportTimeout();
        return false;
    }
    Say("Initializing Communications...");
    if (!Hello()) return false;
    const bool upgrade =
        settings_.Security() == SECURITY_STARTTLS || settings_.Security() == SECURITY_STARTTLS_REQUIRED;
    if (upgrade && offer_.startTls) {
        if (!UpgradeToTls()) return false;
    } else if (upgrade && (RequiresTls() || settings_.UseAuthentication())) {
        // Security 1 sends the message in the clear when the server offers no STARTTLS, but
        // never a login: a server that hides STARTTLS must not learn the password.
        errors_.Add(kTlsNotOffered);
        failures_.RaiseFailure();
        return false;
    }
    if (settings_.UseAuthentication()) return Authenticate();
    return true;
}

bool MailSession::Hello() {
    flags_.replyOK = false;
    flags_.authLoginOffered = false;
    offer_ = ServerOffer();
    const bool extended = extensionsWanted_ || settings_.UseAuthentication() || settings_.Security() != SECURITY_NONE;
    const std::string domain = HeloDomain(WireAddress(settings_.From()));
    if (!SendCommand(Command(extended ? "EHLO" : "HELO", domain), Awaiting::Hello)) {
        return false;
    }
    return failures_.WaitForFlag(flags_.replyOK, settings_.ConnectTimeout(), true);
}

bool MailSession::UpgradeToTls() {
    Say("Starting Secure Connection...");
    // The reply handler starts the handshake on the 220 that answers it.
    if (!SendCommand("STARTTLS", Awaiting::StartTls) || !AwaitSecured()) return false;
    return Hello();
}

bool MailSession::AwaitSecured() {
    const bool secured = failures_.WaitForFlag(flags_.secured, settings_.ConnectTimeout(), false);
    if (failures_.Failed()) return false;
    if (!secured) {
        failures_.ReportTimeout();
        return false;
    }
    ReportSecured();
    return true;
}

void MailSession::ReportSecured() {
    Say("Secure Connection Established...");
    if (socket_.CertificateUnchecked()) Say(std::string(kCertificateNotChecked));
}

bool MailSession::Authenticate() {
    const LoginMechanism mechanism =
        ChooseLoginMechanism(settings_.AuthMechanism(), offer_, socket_.Secure(), !settings_.AccessToken().empty());
    if (mechanism == LoginMechanism::None) {
        Say("Login Not Supported by Host, Continuing...");
        return true;
    }
    Say("Sending Login Authentication...");
    // Prompts and challenges are answered by the reply handler meanwhile.
    if (!StartLogin(mechanism) || !failures_.WaitForFlag(flags_.authAccepted, kAuthWaitSeconds, false)) {
        Say("Host Login Failed!");
        failures_.SetFailed(true);
        return false;
    }
    Say("Host Login OK!");
    return !failures_.Failed();
}

bool MailSession::StartLogin(LoginMechanism mechanism) {
    mechanism_ = mechanism;
    flags_.authAccepted = false;
    loginEnding_ = false;
    std::string response;
    WipedOnExit wipeResponse(response);
    std::string command;
    WipedOnExit wipeCommand(command);
    switch (mechanism) {
        case LoginMechanism::Plain:
            response = PlainInitialResponse(settings_.Username(), settings_.Password());
            command = Command("AUTH PLAIN", response);
            return SendCommand(command, Awaiting::AuthPassword, Carries::Secret, "AUTH PLAIN ****");
        case LoginMechanism::XOAuth2:
            response = XOAuth2InitialResponse(settings_.Username(), settings_.AccessToken());
            command = Command("AUTH XOAUTH2", response);
            return SendCommand(command, Awaiting::AuthPassword, Carries::Secret, "AUTH XOAUTH2 ****");
        case LoginMechanism::CramMd5:
            return SendCommand(Command("AUTH", "CRAM-MD5"), Awaiting::AuthStart, Carries::Secret);
        default:
            return SendCommand(Command("AUTH", "LOGIN"), Awaiting::AuthStart, Carries::Secret);
    }
}

void MailSession::CloseSession() {
    // A failure reported while closing (a refused QUIT, a socket error) closes nothing twice.
    if (closing_) return;
    closing_ = true;
    try {
        if (socket_.State() > kSocketClosed) Say("Closing Connection...");
        if (socket_.State() == kSocketConnected && SettleGroup()) {
            // Whatever arrived unjudged answers nothing any more.
            replies_.Clear();
            flags_.replyOK = false;
            if (SendCommand("QUIT", Awaiting::Quit)) {
                failures_.WaitForFlagAfterFailure(flags_.replyOK, kQuitWaitSeconds);
            }
        }
    } catch (const std::exception&) {
        // Closing goes on whatever failed before.
    }
    CloseSocket();
    try {
        Pump();
    } catch (const std::exception&) {
    }
    closing_ = false;
}

bool MailSession::Exchange(std::string_view command, bool SessionFlags::*flag, long seconds) {
    flags_.*flag = false;
    const Awaiting awaiting = flag == &SessionFlags::dataReady ? Awaiting::Data : Awaiting::Completion;
    if (!SendCommand(command, awaiting, Carries::MessageData)) return false;
    return failures_.WaitForFlag(flags_.*flag, seconds, true) && !failures_.Failed();
}

bool MailSession::ExchangeGroup(const std::vector<GroupCommand>& commands, long seconds) {
    if (commands.empty()) return false;
    if (!commands.front().status.empty()) Say(commands.front().status);
    if (FailOnUnjudgedReplies()) return false;
    std::string bytes;
    awaitingNext_.clear();
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!MayLeave(Carries::MessageData)) {
            awaitingNext_.clear();
            RefuseClearChannel();
            return false;
        }
        Trace("C: ", commands[i].line);
        bytes.append(commands[i].line).append("\r\n");
        const Awaiting awaiting = i + 1 == commands.size() ? Awaiting::Data : Awaiting::Completion;
        if (i > 0) awaitingNext_.push_back({awaiting, commands[i].status});
    }
    flags_.replyOK = false;
    flags_.dataReady = false;
    groupDataOpen_ = false;
    awaiting_ = commands.size() == 1 ? Awaiting::Data : Awaiting::Completion;
    socket_.SendData(bytes);
    while (!flags_.dataReady) {
        flags_.groupAdvanced = false;
        if (!failures_.WaitForFlag(flags_.groupAdvanced, seconds, true)) return false;
        if (failures_.Failed()) return false;
    }
    return !failures_.Failed();
}

bool MailSession::SendMessageData(std::string_view bytes, std::size_t limit) {
    if (failures_.Failed()) return false;
    if (!MayLeave(Carries::MessageData)) {
        RefuseClearChannel();
        return false;
    }
    socket_.SendData(bytes);
    return WaitForQueueBelow(limit);
}

bool MailSession::WaitForQueueBelow(std::size_t limit) {
    return failures_.WaitForDrain([this] { return socket_.QueuedBytes(); }, limit, settings_.MessageTimeout());
}

void MailSession::FailTransmit(std::string_view description) {
    errors_.Add(description);
    failures_.RaiseFailure();
    failures_.SetFailed(true);
}

bool MailSession::MayLeave(Carries what) const {
    if (what == Carries::Control || socket_.Secure()) return true;
    switch (settings_.Security()) {
        case SECURITY_NONE:
            return true;
        case SECURITY_STARTTLS:
            return what == Carries::MessageData;
        default:
            return false;  // TLS required, or a value outside the enumeration
    }
}

void MailSession::RefuseClearChannel() {
    awaiting_ = Awaiting::Nothing;
    errors_.Add(kClearChannelRefused);
    failures_.RaiseFailure();
    failures_.SetFailed(true);
}

bool MailSession::FailOnUnjudgedReplies() {
    if (!replies_.HasPending()) return false;
    const std::string received = replies_.PendingBytes();
    replies_.Clear();
    FailUnexpected(received);
    return true;
}

bool MailSession::SendCommand(std::string_view line, Awaiting awaiting, Carries carries, std::string_view traced) {
    if (FailOnUnjudgedReplies()) return false;
    if (!MayLeave(carries)) {
        RefuseClearChannel();
        return false;
    }
    Trace("C: ", traced.empty() ? line : traced);
    awaiting_ = awaiting;
    std::string bytes(line);
    WipedOnExit wipeBytes(bytes);
    bytes.append("\r\n");
    socket_.SendData(bytes);
    return true;
}

void MailSession::CloseSocket() {
    socket_.Close();
    replies_.Clear();
    awaitingNext_.clear();
    if (awaiting_ == Awaiting::GroupRest) awaiting_ = Awaiting::Nothing;
}

bool MailSession::SettleGroup() {
    if (awaiting_ != Awaiting::GroupRest && !awaitingNext_.empty()) {
        // The group ended without a refusal (a time-out): the reply awaited is still to come.
        awaitingNext_.push_front({awaiting_, {}});
        awaiting_ = Awaiting::GroupRest;
    }
    flags_.groupSettled = false;
    // Replies that came with the refusing one are read first, then the rest are waited for.
    while (awaiting_ == Awaiting::GroupRest && socket_.State() == kSocketConnected) {
        std::optional<Reply> reply = replies_.NextReply();
        if (!reply) break;
        JudgeReply(*reply);
    }
    if (awaiting_ == Awaiting::GroupRest) failures_.WaitForFlagAfterFailure(flags_.groupSettled, kQuitWaitSeconds);
    const bool settled = awaiting_ != Awaiting::GroupRest;
    if (!settled) {
        awaiting_ = Awaiting::Nothing;
        awaitingNext_.clear();
    }
    const bool dataOpen = groupDataOpen_;
    groupDataOpen_ = false;
    return settled && !dataOpen;
}

void MailSession::Say(std::string text) { events_.Status(text); }

void MailSession::Trace(std::string_view prefix, std::string_view text) {
    if (!trace_) return;
    std::string line(prefix);
    line.append(text);
    trace_->Line(line);
}

// ---- socket events --------------------------------------------------------------------------

void MailSession::OnConnect() {
    replies_.Clear();
    flags_.connected = true;
    flags_.secured = false;
}

void MailSession::OnSecured() {
    flags_.secured = true;
    // The POP3 dialogue is run by the reply handler, so it reports its handshakes here.
    if (awaiting_ == Awaiting::Pop3Greeting) ReportSecured();
    if (awaiting_ != Awaiting::Pop3Handshake) return;
    // STLS has secured the POP3 connection: the login may go out now.
    ReportSecured();
    Pop3SendUser();
}

void MailSession::OnTlsNotice(const std::string& notice) { Say(notice); }

void MailSession::OnClose() {
    flags_.connected = false;
    flags_.groupSettled = true;
}

void MailSession::OnDataArrival(const std::string& data) {
    if (socket_.State() != kSocketConnected) return;
    replies_.Append(data);
    // A reply may close the socket (a refusal ends the session), which drops the rest.
    while (socket_.State() == kSocketConnected) {
        std::optional<Reply> reply = replies_.NextReply();
        if (!reply) break;
        try {
            JudgeReply(*reply);
        } catch (const std::exception&) {
            // The handler goes on with the next reply.
        }
    }
}

void MailSession::JudgeReply(const Reply& reply) {
    for (const std::string& line : reply.lines) Trace("S: ", line);
    if (reply.code == kReplyTooLong) {
        replies_.Clear();
        errors_.Add(kReplyTooLongText);
        failures_.RaiseFailure();
        return;
    }
    if (awaiting_ == Awaiting::GroupRest) {
        DropGroupReply(reply);
        return;
    }
    if (awaiting_ == Awaiting::Quit || awaiting_ == Awaiting::Pop3Quit) {
        // Any answer to QUIT ends the session; there is nothing left to refuse.
        if (awaiting_ == Awaiting::Pop3Quit) flags_.pop3Done = true;
        awaiting_ = Awaiting::Nothing;
        flags_.replyOK = true;
        return;
    }
    if (awaiting_ == Awaiting::Nothing) {
        // While the session closes, a late reply (a greeting that came after the time-out, or
        // the answer to QUIT after such a reply took its place) has nothing left to refuse.
        if (!closing_) FailUnexpected(reply.text);
        return;
    }
    if (awaiting_ >= Awaiting::Pop3Greeting) {
        JudgePop3Reply(reply);
    } else {
        JudgeSmtpReply(reply);
    }
}

void MailSession::JudgeSmtpReply(const Reply& reply) {
    const int code = reply.code;
    if (IsInformationCode(code)) return;
    const Awaiting awaiting = awaiting_;
    const bool completion = IsCompletionCode(code);
    if ((awaiting == Awaiting::Greeting || awaiting == Awaiting::Completion) && completion) {
        flags_.replyOK = true;
        AdvanceGroup();
    } else if (awaiting == Awaiting::Hello && completion) {
        awaiting_ = Awaiting::Nothing;
        if (code == kReplyOk) {
            offer_ = ServerOfferOf(reply.lines, reply.text);
            flags_.authLoginOffered = offer_.loginMentioned;
        }
        flags_.replyOK = true;
    } else if (awaiting == Awaiting::StartTls && code == kReplyServiceReady) {
        awaiting_ = Awaiting::Nothing;
        // Whatever came with or after the 220 was sent before the handshake: it answers
        // nothing (a forged reply injected there must not count).
        replies_.Clear();
        socket_.StartTls(TlsFor(ToAsciiDomain(settings_.SMTPHost())));
    } else if (awaiting == Awaiting::Data && code == kReplyStartData) {
        flags_.dataReady = true;
        AdvanceGroup();
    } else if (awaiting >= Awaiting::AuthStart && awaiting <= Awaiting::AuthPassword && code == kReplyAuthAccepted) {
        awaiting_ = Awaiting::Nothing;
        flags_.authAccepted = true;
    } else if (awaiting >= Awaiting::AuthStart && awaiting <= Awaiting::AuthPassword && code == kReplyAuthPrompt) {
        AnswerAuthPrompt(reply);
    } else if (IsPositiveCode(code)) {
        FailUnexpected(reply.text);
    } else {
        Refuse(reply);
    }
}

void MailSession::AnswerAuthPrompt(const Reply& reply) {
    // AUTH LOGIN: the first prompt gets the user name, the second the password, whatever their
    // texts say (they are informational and differ between servers and languages).
    // CRAM-MD5: the one challenge gets the digest answer. XOAUTH2: a challenge carries the
    // server's error details and is answered with an empty line, after which the refusal comes.
    std::string answer;
    WipedOnExit wipeAnswer(answer);
    if (mechanism_ == LoginMechanism::Login && awaiting_ == Awaiting::AuthStart) {
        answer = Base64OneLine(settings_.Username());
        SendCommand(answer, Awaiting::AuthUser, Carries::Secret, kMasked);
    } else if (mechanism_ == LoginMechanism::Login && awaiting_ == Awaiting::AuthUser) {
        answer = Base64OneLine(settings_.Password());
        SendCommand(answer, Awaiting::AuthPassword, Carries::Secret, kMasked);
    } else if (mechanism_ == LoginMechanism::CramMd5 && awaiting_ == Awaiting::AuthStart) {
        answer = CramMd5Answer(reply.text, settings_.Username(), settings_.Password());
        SendCommand(answer, Awaiting::AuthPassword, Carries::Secret, kMasked);
    } else if (loginEnding_) {
        // The login was ended already; the server should refuse it now, not prompt again.
        FailUnexpected(reply.text);
    } else {
        // XOAUTH2's error details, or a prompt no step of the mechanism has: one line ends the
        // exchange (empty for XOAUTH2, "*" to cancel the others) and the refusal follows.
        loginEnding_ = true;
        SendCommand(mechanism_ == LoginMechanism::XOAuth2 ? "" : "*", Awaiting::AuthPassword);
    }
}

void MailSession::AdvanceGroup() {
    flags_.groupAdvanced = true;
    if (awaitingNext_.empty()) {
        awaiting_ = Awaiting::Nothing;
        return;
    }
    AwaitedReply next = std::move(awaitingNext_.front());
    awaitingNext_.pop_front();
    awaiting_ = next.awaiting;
    if (!next.status.empty()) Say(std::move(next.status));
}

void MailSession::StopAwaiting() { awaiting_ = awaitingNext_.empty() ? Awaiting::Nothing : Awaiting::GroupRest; }

void MailSession::DropGroupReply(const Reply& reply) {
    if (IsInformationCode(reply.code) || awaitingNext_.empty()) return;
    if (awaitingNext_.front().awaiting == Awaiting::Data && reply.code == kReplyStartData) groupDataOpen_ = true;
    awaitingNext_.pop_front();
    if (awaitingNext_.empty()) {
        awaiting_ = Awaiting::Nothing;
        flags_.groupSettled = true;
    }
}

void MailSession::Refuse(const Reply& reply) {
    if (quietTokenRefusal_ && mechanism_ == LoginMechanism::XOAuth2 && awaiting_ == Awaiting::AuthPassword) {
        tokenRefused_ = true;
        StopAwaiting();
        failures_.SetFailed(true);
        return;
    }
    // A server that closes the service answers nothing more: QUIT follows at once, as it
    // would without a group.
    if (reply.code == kReplyServiceClosing) awaitingNext_.clear();
    StopAwaiting();
    errors_.Add(reply.text);
    failures_.RaiseFailure();
}

void MailSession::FailUnexpected(std::string_view received) {
    StopAwaiting();
    std::string text(kUnexpectedAnswer);
    if (!received.empty()) text.append(": ").append(received);
    errors_.Add(text);
    failures_.RaiseFailure();
}

void MailSession::OnSendProgress(std::int64_t bytesSent, std::int64_t bytesRemaining) {
    flags_.bytesSent += bytesSent;
    const std::int32_t percent = ProgressPercent(flags_.bytesSent, flags_.totalBytes);
    if (percent != flags_.lastPercent) {
        flags_.lastPercent = percent;
        if (socket_.State() == kSocketConnected) {
            long value = percent;
            events_.Progress(value);
        }
    }
    flags_.bytesRemaining = bytesRemaining;
}

void MailSession::OnError(const std::string& description) {
    errors_.Add(description);
    failures_.RaiseFailure();
}

}  // namespace zankit::mail
