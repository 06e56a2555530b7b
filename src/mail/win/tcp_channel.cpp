// The TCP channel on Windows: a non-blocking Windows Sockets socket watched with select().
// Windows Sockets is started when the channel is made and cleaned up when it ends.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "frame/win_handles.h"
#include "mail/tcp_channel.h"

namespace zankit::mail {
namespace {

std::string ErrorText(int code) {
    char buffer[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code),
                         0, buffer, static_cast<DWORD>(sizeof buffer), nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) text = "Windows Sockets error " + std::to_string(code);
    return text;
}


struct Address {
    sockaddr_storage storage{};
    int length = 0;
    int family = AF_UNSPEC;
};

int ClampSize(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

bool WouldBlock(int code) { return code == WSAEWOULDBLOCK || code == WSAEINTR; }

class WindowsTcpChannel final : public TcpChannel {
public:
    WindowsTcpChannel() {
        WSADATA data{};
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WindowsTcpChannel() override {
        Close();
        if (started_) ::WSACleanup();
    }
    WindowsTcpChannel(const WindowsTcpChannel&) = delete;
    WindowsTcpChannel& operator=(const WindowsTcpChannel&) = delete;

    ConnectStep Open(const std::string& host, std::uint16_t port) override {
        Close();
        if (!started_) return {ConnectStep::Failed, ErrorText(WSANOTINITIALISED)};
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* answer = nullptr;
        const std::string service = std::to_string(port);
        const int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &answer);
        if (resolved != 0) return {ConnectStep::Failed, ErrorText(resolved)};
        for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
            if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
            Address address;
            std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
            address.length = static_cast<int>(entry->ai_addrlen);
            address.family = entry->ai_family;
            addresses_.push_back(address);
        }
        ::freeaddrinfo(answer);
        next_ = 0;
        return TryNextAddress(ErrorText(WSAEHOSTUNREACH));
    }

    ConnectStep CheckConnected() override {
        if (!socket_.Valid()) return {ConnectStep::Failed, ErrorText(WSAENOTCONN)};
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket_.Get(), &writable);
        FD_SET(socket_.Get(), &failed);
        timeval noWait{0, 0};
        const int ready = ::select(0, nullptr, &writable, &failed, &noWait);
        if (ready == SOCKET_ERROR) return {ConnectStep::Failed, ErrorText(::WSAGetLastError())};
        if (ready == 0) return {ConnectStep::Pending, {}};
        int failure = 0;
        int length = static_cast<int>(sizeof failure);
        if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0) {
            failure = ::WSAGetLastError();
        }
        if (failure == 0 && FD_ISSET(socket_.Get(), &writable)) return {ConnectStep::Connected, {}};
        if (failure == 0) failure = WSAECONNREFUSED;
        return TryNextAddress(ErrorText(failure));
    }

    IoStep Send(const char* data, std::size_t size) override {
        IoStep step;
        const int sent = ::send(socket_.Get(), data, ClampSize(size), 0);
        if (sent != SOCKET_ERROR) {
            step.count = static_cast<std::size_t>(sent);
        } else if (const int code = ::WSAGetLastError(); !WouldBlock(code)) {
            step.failed = true;
            step.error = ErrorText(code);
        }
        return step;
    }

    IoStep Receive(char* buffer, std::size_t size) override {
        IoStep step;
        const int received = ::recv(socket_.Get(), buffer, ClampSize(size), 0);
        if (received > 0) {
            step.count = static_cast<std::size_t>(received);
        } else if (received == 0) {
            step.closed = true;
        } else if (const int code = ::WSAGetLastError(); !WouldBlock(code)) {
            step.failed = true;
            step.error = ErrorText(code);
        }
        return step;
    }

    bool WaitForActivity(unsigned milliseconds, bool forWriting) override {
        if (!socket_.Valid()) return false;
        fd_set readable;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket_.Get(), &readable);
        FD_SET(socket_.Get(), &failed);
        if (forWriting) FD_SET(socket_.Get(), &writable);
        timeval limit{0, static_cast<long>(milliseconds) * 1000};
        if (::select(0, &readable, &writable, &failed, &limit) == SOCKET_ERROR) return false;
        return true;
    }

    void Close() override {
        socket_.Reset();
        addresses_.clear();
        next_ = 0;
    }

private:
    ConnectStep TryNextAddress(std::string lastError) {
        socket_.Reset();
        while (next_ < addresses_.size()) {
            const Address& address = addresses_[next_++];
            SocketHandle candidate(::socket(address.family, SOCK_STREAM, IPPROTO_TCP));
            if (!candidate.Valid()) {
                lastError = ErrorText(::WSAGetLastError());
                continue;
            }
            u_long nonBlocking = 1;
            if (::ioctlsocket(candidate.Get(), FIONBIO, &nonBlocking) != 0) {
                lastError = ErrorText(::WSAGetLastError());
                continue;
            }
            // Commands and the end of the message are small writes that wait for a reply: they
            // leave at once instead of waiting for the acknowledgement of the previous write.
            BOOL noDelay = TRUE;
            ::setsockopt(candidate.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                         sizeof noDelay);
            const sockaddr* target = reinterpret_cast<const sockaddr*>(&address.storage);
            if (::connect(candidate.Get(), target, address.length) == 0) {
                socket_ = std::move(candidate);
                return {ConnectStep::Connected, {}};
            }
            const int code = ::WSAGetLastError();
            if (code == WSAEWOULDBLOCK || code == WSAEINPROGRESS) {
                socket_ = std::move(candidate);
                return {ConnectStep::Pending, {}};
            }
            lastError = ErrorText(code);
        }
        return {ConnectStep::Failed, lastError};
    }

    bool started_ = false;
    SocketHandle socket_;
    std::vector<Address> addresses_;
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<TcpChannel> MakePlatformTcpChannel() { return std::make_unique<WindowsTcpChannel>(); }

}  // namespace zankit::mail
