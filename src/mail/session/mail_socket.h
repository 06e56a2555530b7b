// The mail object's socket: a TCP client with an outgoing queue whose events (Connect, Close,
// DataArrival, SendProgress, Error) are delivered only from Poll, which the waits' pump runs.
// So the handlers run on the owner's thread, nested in whatever wait is pumping.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <optional>
#include <string_view>

#include "mail/tcp_channel.h"
#include "mail/tls/tls_channel.h"

namespace zankit::mail {

// Receives the socket's events.
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    virtual void OnConnect() = 0;
    // The peer ended the connection.
    virtual void OnClose() = 0;
    virtual void OnDataArrival(const std::string& data) = 0;
    // Bytes handed to the network since the last report, and bytes still queued.
    virtual void OnSendProgress(std::int64_t bytesSent, std::int64_t bytesRemaining) = 0;
    virtual void OnError(const std::string& description) = 0;
    // The TLS handshake asked for has finished; every byte from now on is encrypted.
    virtual void OnSecured() {}
    // Something the TLS engine wants the user to hear (the connection goes on).
    virtual void OnTlsNotice(const std::string& /*notice*/) {}
};

// Values of State().
enum SocketState : int {
    kSocketClosed = 0,
    kSocketConnecting = 6,
    kSocketConnected = 7,
    kSocketPeerClosed = 8,
    kSocketError = 9,
};

class MailSocket {
public:
    // engines makes the TLS engine for StartTls; without one, securing the socket fails.
    explicit MailSocket(std::unique_ptr<TcpChannel> channel, TlsEngineFactory engines = nullptr);
    MailSocket(const MailSocket&) = delete;
    MailSocket& operator=(const MailSocket&) = delete;

    void SetEvents(SocketEvents* events) { events_ = events; }

    // Starts connecting; the outcome arrives as the Connect or the Error event. Resolving the
    // name happens here and may block for the resolver's time.
    // With tlsFromStart the connection is secured before its first byte (the Secured event
    // follows Connect).
    void Connect(const std::string& host, std::int32_t port, const std::optional<TlsRequest>& tlsFromStart = {});
    // Switches the connection to TLS now; whatever arrived before and is undelivered is
    // dropped. The outcome arrives as the Secured or the Error event.
    void StartTls(const TlsRequest& request);
    bool Secure() const { return channel_->CurrentPhase() == TlsChannel::Phase::Secure; }
    // True when the connection was secured with a certificate that failed a check and was let through.
    bool CertificateUnchecked() const { return Secure() && channel_->CertificateUnchecked(); }
    // Drops the connection, the unsent data and the undelivered events; State becomes 0.
    void Close();
    int State() const { return state_; }
    // Queues bytes for sending; they leave while the socket is polled.
    void SendData(std::string_view bytes);
    std::size_t QueuedBytes() const { return outgoing_.size() - sentOffset_; }
    // Blocks at most milliseconds until the connection has something for the next Poll; false,
    // without waiting, when there is no connection to watch (the caller sleeps instead).
    bool WaitForActivity(unsigned milliseconds);

    // Moves data in both directions without blocking, then delivers the pending events.
    void Poll();

private:
    struct Event {
        enum Kind { Connected, Closed, Data, Progress, Failure, Secured, Notice };
        Kind kind;
        std::string text;  // received bytes or the error description
        std::int64_t sent = 0;
        std::int64_t remaining = 0;
    };

    void Fail(const std::string& description);
    // Empties the outgoing queue, wiping what it held (a login may be among it).
    void DropOutgoing();
    void Transfer();
    void Deliver();

    std::unique_ptr<TlsChannel> channel_;
    SocketEvents* events_ = nullptr;
    int state_ = kSocketClosed;  // as the events delivered so far show it
    bool linkOpen_ = false;      // connected at the channel's level, events may still be pending
    bool linkPending_ = false;   // a connection attempt is under way
    bool securing_ = false;      // a TLS handshake is under way
    std::string outgoing_;       // bytes before sentOffset_ have left already
    std::size_t sentOffset_ = 0;
    std::deque<Event> pending_;
    std::uint64_t generation_ = 0;  // counts Close calls, so delivery stops after one
};

}  // namespace zankit::mail
