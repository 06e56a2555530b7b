// One TCP client connection as the platform offers it: non-blocking connect, send and receive.
// MailSocket builds the mail object's socket (states, outgoing queue, events) on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zankit::mail {

// Outcome of starting or checking a connection.
struct ConnectStep {
    enum Kind { Pending, Connected, Failed };
    Kind kind = Failed;
    std::string error;  // description when Failed
};

// Outcome of one send or receive call. count is 0 when the call would block; closed is set
// when the peer ended the connection (receive only); error is set on a failure.
struct IoStep {
    std::size_t count = 0;
    bool closed = false;
    bool failed = false;
    std::string error;
};

class TcpChannel {
public:
    virtual ~TcpChannel() = default;
    // Resolves host and starts connecting to host:port, dropping any previous connection.
    virtual ConnectStep Open(const std::string& host, std::uint16_t port) = 0;
    // Looks, without blocking, whether a pending connection has been made or has failed.
    virtual ConnectStep CheckConnected() = 0;
    // Hands at most size bytes to the network without blocking.
    virtual IoStep Send(const char* data, std::size_t size) = 0;
    // Takes at most size received bytes without blocking.
    virtual IoStep Receive(char* buffer, std::size_t size) = 0;
    // Drops the connection; harmless when there is none.
    virtual void Close() = 0;
    // Blocks at most milliseconds until the connection has something to receive or has ended
    // (or, with forWriting, can take more bytes or has finished connecting). False, at once,
    // when the channel cannot wait this way; the caller then sleeps instead.
    virtual bool WaitForActivity(unsigned milliseconds, bool forWriting) {
        (void)milliseconds;
        (void)forWriting;
        return false;
    }
};

// The platform implementation: POSIX sockets natively, Windows Sockets inside the DLL.
std::unique_ptr<TcpChannel> MakePlatformTcpChannel();

}  // namespace zankit::mail
