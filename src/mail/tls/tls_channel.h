// A TCP channel that can switch to TLS: until StartTls it passes bytes through unchanged; from
// then on a TLS engine runs the handshake over the inner channel and every byte crosses it as
// records. Bytes the server sent before the switch and not yet taken are dropped with it.
//
// The handshake runs while the channel is used: Receive takes the server's handshake
// messages and Send and Receive hand the engine's answers on. A failed handshake or a broken
// record makes Receive fail with the engine's text.
#pragma once

#include <memory>
#include <string>

#include "mail/tcp_channel.h"
#include "mail/tls/tls_engine.h"

namespace zankit::mail {

// The server to secure a connection for.
struct TlsRequest {
    std::string serverName;
    bool allowInvalidCertificate = false;
};

class TlsChannel final : public TcpChannel {
public:
    enum class Phase { Plain, Handshake, Secure };

    TlsChannel(std::unique_ptr<TcpChannel> inner, TlsEngineFactory engines);

    // Starts the handshake now, over a connected channel.
    void StartTls(const TlsRequest& request);
    // Starts the handshake as soon as the next connection is made (TLS from the first byte).
    void StartTlsOnConnect(const TlsRequest& request);
    Phase CurrentPhase() const { return phase_; }
    // True once the handshake took a failing certificate because the request allowed it.
    bool CertificateUnchecked() const { return certificateUnchecked_; }
    // What the engine said about the connection since the last call (one line each).
    std::string TakeNotices();

    ConnectStep Open(const std::string& host, std::uint16_t port) override;
    ConnectStep CheckConnected() override;
    // Once secured, takes at most one record's worth of plain bytes while the encrypted
    // bytes still waiting for the network stay below a bound.
    IoStep Send(const char* data, std::size_t size) override;
    IoStep Receive(char* buffer, std::size_t size) override;
    // Sends the closing alert first when the connection is secured.
    void Close() override;
    bool WaitForActivity(unsigned milliseconds, bool forWriting) override;

private:
    ConnectStep StartWhenConnected(ConnectStep step);
    void Reset();
    // Hands waiting encrypted bytes to the inner channel; false on a failure (then recorded).
    bool Flush();
    // Reads what the inner channel has and runs it through the engine.
    void Pull();
    void Absorb(const TlsStep& step);
    IoStep Failure() const;

    std::unique_ptr<TcpChannel> inner_;
    TlsEngineFactory engines_;
    std::unique_ptr<TlsEngine> engine_;
    Phase phase_ = Phase::Plain;
    bool startOnConnect_ = false;
    TlsRequest pendingRequest_;
    std::string cipherIn_;   // received, not yet taken by the engine
    std::string cipherOut_;  // made by the engine, not yet taken by the network
    std::string plainIn_;    // decrypted, not yet handed out
    bool peerClosed_ = false;
    bool certificateUnchecked_ = false;
    std::string failure_;  // set once the connection cannot go on
    std::string notices_;
};

}  // namespace zankit::mail
