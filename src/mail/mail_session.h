// The SMTP/POP3 conversation of one mail object over its own socket: opening the session
// (optional POP3 login first, connection attempts, greeting, EHLO/HELO, optional AUTH LOGIN),
// judging the servers' replies, streaming files, and closing with QUIT.
//
// Send drives each command through Exchange (or SendLine and a WaitForFlag of its own):
//   session.Exchange("MAIL FROM: <a@b.c>", &SessionFlags::replyOK, messageTimeout);
// A refusing reply never sets the flag: the reply handler reports it through SendFailed and
// sets Failed, which ends the wait.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mail/mail_events.h"
#include "mail/mail_seam.h"
#include "mail/mail_settings.h"
#include "mail/mail_socket.h"
#include "mail/pending_errors.h"
#include "mail/reply_assembler.h"

namespace zankit::mail {

// Flags and counters of the session; plain fields written by the event handlers and read by
// the waiting code on the same thread.
struct SessionFlags {
    bool connected = false;         // the socket reported an established connection
    bool keepConnection = false;    // set by Connect; Send closes after success only without it
    bool replyOK = false;           // 220, 221, 250 or 251 arrived
    bool dataReady = false;         // 354 arrived
    bool authLoginOffered = false;  // a 250 reply named AUTH LOGIN
    bool authAccepted = false;      // 235 arrived
    bool pop3Done = false;          // the POP3 dialogue completed
    int pop3Step = 0;               // 0 to 3
    bool sendProgressed = false;    // the socket reported progress since the flag was cleared
    std::int64_t bytesSent = 0;     // reported sent during the current send
    std::int64_t bytesRemaining = 0;
    std::int64_t totalBytes = 0;   // estimated size of the whole transmission
    std::int32_t lastPercent = 0;  // last percentage raised; kept for the object's life
};

// Finds the mail exchanger of the machine's own domain; "" when there is none.
using MxLookup = std::function<std::string()>;

inline constexpr std::int32_t kPop3Port = 110;
inline constexpr std::size_t kMimeChunkBytes = 11400;  // 200 lines of base64
inline constexpr std::size_t kUULineBytes = 45;

class MailSession final : public SocketEvents {
public:
    MailSession(MailSettings& settings, MailSocket& socket, PendingErrors& errors, FailureReporter& failures,
                MailEvents& events, WaitHooks& pump);
    ~MailSession() override;
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // Replaces the MX lookup used when SMTPHost is empty (by default nothing is found).
    void SetMxLookup(MxLookup lookup) { mxLookup_ = std::move(lookup); }

    // The class's Connect and Disconnect.
    bool Connect();
    void Disconnect();

    // True when the SMTP session is ready for MAIL FROM; an open session is reused unchanged.
    bool OpenSession();
    // QUIT (waiting at most 2 seconds for its reply) when connected, then closes the socket.
    void CloseSession();
    // Streams the file's bytes base64 encoded (MIME_ENCODE) or as UU lines (UU_ENCODE); a
    // failure is reported through SendFailed and sets Failed.
    void TransmitFile(const std::string& path, std::int32_t encoding);

    // Queues bytes for the server as they are.
    void SendData(std::string_view bytes) { socket_.SendData(bytes); }
    // Queues text followed by CR LF.
    void SendLine(std::string_view text);
    // Clears flag, writes command and CR LF, and waits for flag with raiseTimeout set;
    // true when the flag was set and the session has not failed.
    bool Exchange(std::string_view command, bool SessionFlags::*flag, long seconds);

    SessionFlags& Flags() { return flags_; }
    int SocketState() const { return socket_.State(); }
    // Lets pending events run once (the platform's and the socket's).
    void Pump() { pump_.PumpEvents(); }

    // Socket events.
    void OnConnect() override;
    void OnClose() override;
    void OnDataArrival(const std::string& data) override;
    void OnSendProgress(std::int64_t bytesSent, std::int64_t bytesRemaining) override;
    void OnError(const std::string& description) override;

private:
    bool OpenSessionSteps();
    bool Pop3Login();
    bool GreetSmtp();
    bool AuthLogin();
    // The connection attempts; false when a failure ended them.
    bool ConnectAttempts(const std::string& host, std::int32_t port);
    void CloseSocket();
    void JudgeReply(const std::string& reply);
    void FailTransmit(const std::string& description);
    void Say(std::string text);

    MailSettings& settings_;
    MailSocket& socket_;
    PendingErrors& errors_;
    FailureReporter& failures_;
    MailEvents& events_;
    WaitHooks& pump_;
    MxLookup mxLookup_;
    ReplyAssembler replies_;
    SessionFlags flags_;
};

}  // namespace zankit::mail
