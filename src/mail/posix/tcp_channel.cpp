// The TCP channel on POSIX systems: a non-blocking socket watched with poll().
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "mail/posix/fd.h"
#include "mail/tcp_channel.h"

namespace zankit::mail {
namespace {

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

std::string ErrorText(int code) { return std::strerror(code); }

class PosixTcpChannel final : public TcpChannel {
public:
    ConnectStep Open(const std::string& host, std::uint16_t port) override {
        Close();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* answer = nullptr;
        const std::string service = std::to_string(port);
        const int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &answer);
        if (resolved != 0) return {ConnectStep::Failed, ::gai_strerror(resolved)};
        for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
            if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
            Address address;
            std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
            address.length = entry->ai_addrlen;
            address.family = entry->ai_family;
            addresses_.push_back(address);
        }
        ::freeaddrinfo(answer);
        next_ = 0;
        return TryNextAddress(ErrorText(EHOSTUNREACH));
    }

    ConnectStep CheckConnected() override {
        if (!socket_.Valid()) return {ConnectStep::Failed, ErrorText(ENOTCONN)};
        pollfd watch{socket_.Get(), POLLOUT, 0};
        const int ready = ::poll(&watch, 1, 0);
        if (ready < 0) return {ConnectStep::Failed, ErrorText(errno)};
        if (ready == 0) return {ConnectStep::Pending, {}};
        int failure = 0;
        socklen_t length = sizeof failure;
        if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &failure, &length) != 0) failure = errno;
        if (failure == 0) return {ConnectStep::Connected, {}};
        return TryNextAddress(ErrorText(failure));
    }

    IoStep Send(const char* data, std::size_t size) override {
        IoStep step;
        const ssize_t sent = ::send(socket_.Get(), data, size, MSG_NOSIGNAL);
        if (sent >= 0) {
            step.count = static_cast<std::size_t>(sent);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            step.failed = true;
            step.error = ErrorText(errno);
        }
        return step;
    }

    IoStep Receive(char* buffer, std::size_t size) override {
        IoStep step;
        const ssize_t received = ::recv(socket_.Get(), buffer, size, 0);
        if (received > 0) {
            step.count = static_cast<std::size_t>(received);
        } else if (received == 0) {
            step.closed = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            step.failed = true;
            step.error = ErrorText(errno);
        }
        return step;
    }

    bool WaitForActivity(unsigned milliseconds, bool forWriting) override {
        if (!socket_.Valid()) return false;
        pollfd watched{socket_.Get(), static_cast<short>(POLLIN | (forWriting ? POLLOUT : 0)), 0};
        ::poll(&watched, 1, static_cast<int>(milliseconds));
        return true;
    }

    void Close() override {
        socket_.Reset();
        addresses_.clear();
        next_ = 0;
    }

private:
    // Starts connecting to the next resolved address; lastError describes the previous failure.
    ConnectStep TryNextAddress(std::string lastError) {
        socket_.Reset();
        while (next_ < addresses_.size()) {
            const Address& address = addresses_[next_++];
            FileDescriptor candidate(::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            if (!candidate.Valid()) {
                lastError = ErrorText(errno);
                continue;
            }
            // Commands and the end of the message are small writes that wait for a reply: they
            // leave at once instead of waiting for the acknowledgement of the previous write.
            const int noDelay = 1;
            ::setsockopt(candidate.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            const sockaddr* target = reinterpret_cast<const sockaddr*>(&address.storage);
            if (::connect(candidate.Get(), target, address.length) == 0) {
                socket_ = std::move(candidate);
                return {ConnectStep::Connected, {}};
            }
            if (errno == EINPROGRESS || errno == EINTR) {
                socket_ = std::move(candidate);
                return {ConnectStep::Pending, {}};
            }
            lastError = ErrorText(errno);
        }
        return {ConnectStep::Failed, lastError};
    }

    FileDescriptor socket_;
    std::vector<Address> addresses_;
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<TcpChannel> MakePlatformTcpChannel() { return std::make_unique<PosixTcpChannel>(); }

}  // namespace zankit::mail
