// The MX query's platform on POSIX systems (the native build).
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "mail/dns/dns_discovery.h"
#include "mail/posix/dns_system.h"
#include "mail/posix/fd.h"
#include "mail/posix/resolve_ipv4.h"

namespace zankit::mail {
namespace {

sockaddr_in SocketAddress(const IPv4Bytes& address, std::uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    std::memcpy(&socketAddress.sin_addr, address.data(), address.size());
    return socketAddress;
}

using Clock = std::chrono::steady_clock;

// Waits until fd is readable or the deadline has passed, restarting after signals.
bool WaitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) return false;
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

class PosixDnsSystem final : public DnsSystem {
public:
    explicit PosixDnsSystem(std::string resolvConfPath) : path_(std::move(resolvConfPath)) {}

    DnsHostConfig DiscoverDnsConfig() override {
        std::ifstream file(path_);
        if (!file) return {};
        std::ostringstream text;
        text << file.rdbuf();
        return ParseResolvConf(text.str());
    }

    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override { return ResolveHostIPv4(hostName); }

    std::string HostNameOf(const IPv4Bytes& address) override {
        const sockaddr_in socketAddress = SocketAddress(address, 0);
        char host[NI_MAXHOST] = {};
        if (::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host, sizeof host,
                          nullptr, 0, NI_NAMEREQD) != 0) {
            return {};
        }
        return std::string(host);
    }

    DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port, const std::vector<std::uint8_t>& query,
                                    unsigned receiveTimeoutMs, std::size_t maxReply,
                                    const DatagramFilter& accepts) override {
        DatagramResult result;
        const FileDescriptor socketFd(::socket(AF_INET, SOCK_DGRAM, 0));
        if (!socketFd.Valid()) return result;

        const sockaddr_in target = SocketAddress(server, port);
        const ssize_t sent = ::sendto(socketFd.Get(), query.data(), query.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&target), sizeof target);
        if (sent <= 0) {
            result.outcome = DatagramOutcome::SendFailed;
            return result;
        }

        result.outcome = DatagramOutcome::ReceiveFailed;
        const auto deadline = Clock::now() + std::chrono::milliseconds(receiveTimeoutMs);
        std::vector<std::uint8_t> buffer(maxReply);
        while (WaitReadable(socketFd.Get(), deadline)) {
            sockaddr_in sender{};
            socklen_t senderSize = sizeof sender;
            const ssize_t received = ::recvfrom(socketFd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                                reinterpret_cast<sockaddr*>(&sender), &senderSize);
            if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            if (received < 0) return result;
            const bool fromServer = senderSize == sizeof sender && sender.sin_port == target.sin_port &&
                                    sender.sin_addr.s_addr == target.sin_addr.s_addr;
            if (fromServer && TakeIfAccepted(buffer.data(), static_cast<std::size_t>(received), accepts, result)) {
                return result;
            }
        }
        return result;
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<DnsSystem> MakePosixDnsSystem(const std::string& resolvConfPath) {
    return std::make_unique<PosixDnsSystem>(resolvConfPath);
}

std::unique_ptr<DnsSystem> MakePlatformDnsSystem() { return MakePosixDnsSystem(kSystemResolvConf); }

}  // namespace zankit::mail
