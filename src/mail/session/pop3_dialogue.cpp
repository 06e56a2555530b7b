// The POP3 login some servers want before SMTP: greeting, CAPA and STLS when Security asks for
// TLS (or TLS from the first byte on port 995), then USER, PASS and QUIT, run by the reply
// handler while Pop3Login waits.
#include <optional>
#include <string>

#include "mail/address_validation.h"
#include "mail/message/wire_text.h"
#include "mail/secret_text.h"
#include "mail/session/mail_session.h"
#include "mail/text_rules.h"
#include "mail/tls/tls_engine.h"

namespace zankit::mail {

bool MailSession::Pop3Login() {
    const std::string host = ToAsciiDomain(settings_.POP3Host());
    Say("Connecting to POP3 Server (" + host + ")...");
    failures_.SetFailed(false);
    flags_.connected = false;
    flags_.pop3Done = false;
    if (host.empty()) {
        errors_.Add(kInvalidPop3Host);
        failures_.RaiseFailure();
        return false;
    }
    replies_.SetMode(ReplyAssembler::Mode::Pop3);
    awaiting_ = Awaiting::Pop3Greeting;
    pop3OffersStls_ = false;
    const bool tlsFromStart = settings_.Security() == SECURITY_TLS;
    if (!ConnectAttempts(host, tlsFromStart ? kPop3TlsPort : kPop3Port,
                         tlsFromStart ? std::optional(TlsFor(host)) : std::nullopt)) {
        return false;
    }
    // The reply handler runs the CAPA/STLS/USER/PASS/QUIT dialogue meanwhile; a POP3 server
    // that never answers only costs this wait.
    failures_.WaitForFlag(flags_.pop3Done, settings_.ConnectTimeout(), false);
    CloseSocket();
    Pump();
    if (failures_.Failed()) return false;
    Say("POP3 Authentication Successful...");
    return true;
}

void MailSession::JudgePop3Reply(const Reply& reply) {
    if (awaiting_ == Awaiting::Pop3CapabilityLines ||
        (awaiting_ == Awaiting::Pop3Capabilities && reply.code != kReplyPop3Ok)) {
        Pop3CapabilityLine(reply);
        return;
    }
    if (reply.code != kReplyPop3Ok) {
        flags_.pop3Done = false;
        failures_.SetFailed(true);
        Refuse(reply);
        return;
    }
    switch (awaiting_) {
        case Awaiting::Pop3Greeting:
            // Asked for TLS: the login waits for STLS, when the server offers it.
            if (settings_.Security() != SECURITY_NONE && !socket_.Secure()) {
                SendCommand("CAPA", Awaiting::Pop3Capabilities);
            } else {
                Pop3SendUser();
            }
            break;
        case Awaiting::Pop3Capabilities:
            awaiting_ = Awaiting::Pop3CapabilityLines;
            break;
        case Awaiting::Pop3StartTls:
            awaiting_ = Awaiting::Pop3Handshake;
            // Whatever came with the +OK was sent before the handshake: it answers nothing.
            replies_.Clear();
            socket_.StartTls(TlsFor(ToAsciiDomain(settings_.POP3Host())));
            break;
        case Awaiting::Pop3Handshake:
            FailUnexpected(reply.text);
            break;
        case Awaiting::Pop3User: {
            std::string command = Command("PASS", settings_.Password());
            WipedOnExit wipeCommand(command);
            SendCommand(command, Awaiting::Pop3Password, Carries::Secret, "PASS ****");
            break;
        }
        default:
            // The password was taken; the answer to QUIT completes the dialogue.
            SendCommand("QUIT", Awaiting::Pop3Quit);
            break;
    }
}

void MailSession::Pop3CapabilityLine(const Reply& reply) {
    // An -ERR to CAPA: a server without capabilities offers no STLS either.
    const std::string line = reply.code == kReplyPop3Ok || reply.lines.empty() ? std::string() : reply.lines.front();
    if (reply.code != kReplyPop3Error && line != ".") {
        if (EqualsNoCase(TrimSpaces(line), "STLS")) pop3OffersStls_ = true;
        return;
    }
    if (pop3OffersStls_) {
        SendCommand("STLS", Awaiting::Pop3StartTls);
    } else {
        Pop3RefuseClearLogin();
    }
}

void MailSession::Pop3RefuseClearLogin() {
    flags_.pop3Done = false;
    failures_.SetFailed(true);
    awaiting_ = Awaiting::Nothing;
    errors_.Add(kTlsNotOffered);
    failures_.RaiseFailure();
}

void MailSession::Pop3SendUser() {
    SendCommand(Command("USER", settings_.Username()), Awaiting::Pop3User, Carries::Secret);
}

}  // namespace zankit::mail
