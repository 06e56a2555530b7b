#include "mail/mail_session.h"

#include <exception>
#include <utility>

#include "mail/session_rules.h"

namespace zankit::mail {
namespace {

constexpr long kAuthWaitSeconds = 5;
constexpr long kQuitWaitSeconds = 2;

}  // namespace

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
    if (socket_.State() == kSocketConnected) return true;
    if (socket_.State() > kSocketClosed) {
        CloseSocket();
        Pump();
    }

    if (settings_.SMTPHost().empty() && mxLookup_) {
        const std::string exchanger = mxLookup_();
        if (!exchanger.empty()) settings_.StoreDiscoveredSMTPHost(exchanger);
    }
    if (settings_.SMTPHost().empty()) {
        errors_.Add("Invalid or Missing SMTP Host Name");
        return false;
    }

    if (settings_.UsePopAuthentication() && !Pop3Login()) return false;

    flags_.replyOK = false;
    flags_.dataReady = false;
    flags_.authLoginOffered = false;
    flags_.authAccepted = false;
    failures_.SetFailed(false);
    flags_.connected = false;
    if (socket_.State() > kSocketClosed) {
        CloseSocket();
        Pump();
    }
    const std::string host = settings_.SMTPHost();
    Pump();
    Say("Connecting to SMTP Server (" + host + ")...");
    replies_.SetMode(ReplyAssembler::Mode::Smtp);
    if (!ConnectAttempts(host, settings_.SMTPPort())) return false;
    return GreetSmtp();
}

bool MailSession::Pop3Login() {
    const std::string host = settings_.POP3Host();
    Say("Connecting to POP3 Server (" + host + ")...");
    failures_.SetFailed(false);
    flags_.connected = false;
    flags_.pop3Done = false;
    flags_.pop3Step = 0;
    if (host.empty()) {
        errors_.Add("Invalid or Missing POP3 Host Name");
        failures_.RaiseFailure();
        return false;
    }
    replies_.SetMode(ReplyAssembler::Mode::Pop3);
    if (!ConnectAttempts(host, kPop3Port)) return false;
    // The reply handler runs the USER/PASS/QUIT dialogue meanwhile; a POP3 server that never
    // answers only costs this wait.
    failures_.WaitForFlag(flags_.pop3Done, settings_.ConnectTimeout(), false);
    CloseSocket();
    Pump();
    if (failures_.Failed()) return false;
    Say("POP3 Authentication Successful...");
    return true;
}

bool MailSession::ConnectAttempts(const std::string& host, std::int32_t port) {
    const long timeout = settings_.ConnectTimeout();
    for (std::int32_t attempt = 1; attempt <= settings_.ConnectRetry(); ++attempt) {
        if (socket_.State() == kSocketConnected) {
            flags_.connected = true;
            break;
        }
        flags_.connected = false;
        if (socket_.State() == kSocketClosed) socket_.Connect(host, port);
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
    flags_.replyOK = false;
    const bool authenticate = settings_.UseAuthentication();
    SendLine((authenticate ? "EHLO " : "HELO ") + HeloDomain(settings_.From()));
    if (!failures_.WaitForFlag(flags_.replyOK, timeout, true)) return false;
    if (authenticate) return AuthLogin();
    return true;
}

bool MailSession::AuthLogin() {
    if (!failures_.WaitForFlag(flags_.authLoginOffered, kAuthWaitSeconds, false)) {
        Say("Login Not Supported by Host, Continuing...");
        return true;
    }
    Say("Sending Login Authentication...");
    SendLine("AUTH Login");
    // The username and password prompts are answered by the reply handler meanwhile.
    if (!failures_.WaitForFlag(flags_.authAccepted, kAuthWaitSeconds, false)) {
        Say("Host Login Failed!");
        failures_.SetFailed(true);
        return false;
    }
    Say("Host Login OK!");
    return !failures_.Failed();
}

void MailSession::CloseSession() {
    try {
        if (socket_.State() > kSocketClosed) Say("Closing Connection...");
        if (socket_.State() == kSocketConnected) {
            flags_.replyOK = false;
            SendLine("QUIT");
            failures_.WaitForFlag(flags_.replyOK, kQuitWaitSeconds, false);
        }
    } catch (const std::exception&) {
        // Closing goes on whatever failed before.
    }
    CloseSocket();
    try {
        Pump();
    } catch (const std::exception&) {
    }
}

void MailSession::SendLine(std::string_view text) {
    std::string line(text);
    line.append("\r\n");
    socket_.SendData(line);
}

bool MailSession::Exchange(std::string_view command, bool SessionFlags::*flag, long seconds) {
    flags_.*flag = false;
    SendLine(command);
    return failures_.WaitForFlag(flags_.*flag, seconds, true) && !failures_.Failed();
}

void MailSession::CloseSocket() {
    socket_.Close();
    replies_.Clear();
}

void MailSession::Say(std::string text) { events_.Status(text); }

// ---- socket events --------------------------------------------------------------------------

void MailSession::OnConnect() {
    replies_.Clear();
    flags_.connected = true;
}

void MailSession::OnClose() { flags_.connected = false; }

void MailSession::OnDataArrival(const std::string& data) {
    if (socket_.State() != kSocketConnected) return;
    replies_.Append(data);
    // A reply may close the socket (a refusal ends the session), which drops the rest.
    while (socket_.State() == kSocketConnected) {
        std::optional<std::string> reply = replies_.NextReply();
        if (!reply) break;
        try {
            JudgeReply(*reply);
        } catch (const std::exception&) {
            // The handler goes on with the next reply.
        }
    }
}

void MailSession::JudgeReply(const std::string& reply) {
    switch (ClassifyReply(reply)) {
        case ReplyAction::Ready:
            flags_.replyOK = true;
            break;
        case ReplyAction::Accepted250:
            flags_.replyOK = true;
            if (OffersAuthLogin(reply)) flags_.authLoginOffered = true;
            break;
        case ReplyAction::AuthAccepted:
            flags_.authAccepted = true;
            break;
        case ReplyAction::AuthPrompt:
            socket_.SendData(AuthPromptAnswer(reply, settings_.Username(), settings_.Password()));
            break;
        case ReplyAction::DataReady:
            flags_.dataReady = true;
            break;
        case ReplyAction::Ignore:
            break;
        case ReplyAction::Pop3Ok: {
            const Pop3Move move = NextPop3Move(flags_.pop3Step, settings_.Username(), settings_.Password());
            if (!move.command.empty()) socket_.SendData(move.command);
            flags_.pop3Step = move.nextStep;
            if (move.done) flags_.pop3Done = true;
            break;
        }
        case ReplyAction::Pop3Error:
            flags_.pop3Done = false;
            flags_.pop3Step = 0;
            failures_.SetFailed(true);
            errors_.Add(reply);
            failures_.RaiseFailure();
            break;
        case ReplyAction::Refused:
            errors_.Add(reply);
            failures_.RaiseFailure();
            break;
    }
}

void MailSession::OnSendProgress(std::int64_t bytesSent, std::int64_t bytesRemaining) {
    flags_.bytesSent += bytesSent;
    flags_.sendProgressed = true;
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
