#include "mail/posix/icmp_echo.h"

#include <arpa/inet.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "mail/posix/fd.h"

namespace zankit::mail {
namespace {

constexpr std::uint32_t kTimedOut = 11010;  // the status a Windows echo reports on time-out
constexpr std::size_t kIcmpHeader = 8;

std::uint16_t Checksum(const unsigned char* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) sum += (std::uint32_t{data[i]} << 8) | data[i + 1];
    if (size % 2 != 0) sum += std::uint32_t{data[size - 1]} << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t ReadBigEndian16(const unsigned char* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

void WriteBigEndian16(unsigned char* p, std::uint16_t value) {
    p[0] = static_cast<unsigned char>(value >> 8);
    p[1] = static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

EchoResult PosixIcmpEcho(const in_addr& target, const std::string& payload, unsigned timeoutMs) {
    EchoResult result;
    result.status = kTimedOut;

    // A datagram ICMP socket needs no privilege where ping_group_range allows it; the kernel then
    // chooses the identifier. A raw socket sees every ICMP packet, so replies are matched by
    // identifier and sequence.
    bool raw = false;
    FileDescriptor socketFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!socketFd.Valid()) {
        socketFd.Reset(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        raw = true;
    }
    if (!socketFd.Valid()) return result;

    std::random_device seed;
    const auto identifier = static_cast<std::uint16_t>(seed() & 0xFFFF);
    const auto sequence = static_cast<std::uint16_t>(seed() & 0xFFFF);

    std::vector<unsigned char> request(kIcmpHeader + payload.size(), 0);
    request[0] = ICMP_ECHO;
    request[1] = 0;
    WriteBigEndian16(&request[4], identifier);
    WriteBigEndian16(&request[6], sequence);
    std::memcpy(request.data() + kIcmpHeader, payload.data(), payload.size());
    WriteBigEndian16(&request[2], Checksum(request.data(), request.size()));

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr = target;
    const auto started = std::chrono::steady_clock::now();
    if (::sendto(socketFd.Get(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                 sizeof destination) < 0) {
        return result;
    }

    std::vector<unsigned char> buffer(65536);
    while (true) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        if (elapsed >= static_cast<long long>(timeoutMs)) return result;
        pollfd waitFor{socketFd.Get(), POLLIN, 0};
        const int ready = ::poll(&waitFor, 1, static_cast<int>(timeoutMs - elapsed));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return result;

        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t received =
            ::recvfrom(socketFd.Get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (received <= 0) continue;
        const unsigned char* icmp = buffer.data();
        std::size_t size = static_cast<std::size_t>(received);
        if (raw) {
            const std::size_t ipHeader = static_cast<std::size_t>(buffer[0] & 0x0F) * 4;
            if (size < ipHeader) continue;
            icmp += ipHeader;
            size -= ipHeader;
        }
        if (size < kIcmpHeader || icmp[0] != ICMP_ECHOREPLY) continue;
        if (ReadBigEndian16(icmp + 6) != sequence) continue;
        if (raw && ReadBigEndian16(icmp + 4) != identifier) continue;

        const auto roundTrip =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        result.status = 0;
        result.roundTripMs = static_cast<std::uint32_t>(roundTrip.count());
        std::memcpy(result.replyAddress.data(), &from.sin_addr, result.replyAddress.size());
        result.data.assign(reinterpret_cast<const char*>(icmp + kIcmpHeader), size - kIcmpHeader);
        return result;
    }
}

}  // namespace zankit::mail
