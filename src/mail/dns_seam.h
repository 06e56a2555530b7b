// What the MX query needs from the platform: the machine's name-server configuration, name
// lookups and one UDP exchange. The POSIX implementation serves the native build, the Windows
// implementation the DLL; tests supply their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mail/mail_types.h"

namespace zankit::mail {

// The name servers and DNS domain as the platform reports them.
struct DnsHostConfig {
    // Server addresses as text, each followed by "," (spaces may separate entries too).
    std::string servers;
    // The machine's DNS domain; empty when none is configured.
    std::string domain;
};

enum class DatagramOutcome {
    Answered,       // reply holds the datagram received
    NoSockets,      // the sockets library could not be started or no socket could be opened
    SendFailed,     // the send reported an error or 0 bytes
    ReceiveFailed,  // the receive reported an error, or no accepted datagram came within the bound
};

// Decides whether a datagram from the asked server is the answer; others are dropped.
using DatagramFilter = std::function<bool(const std::vector<std::uint8_t>& datagram)>;

struct DatagramResult {
    DatagramOutcome outcome = DatagramOutcome::NoSockets;
    std::vector<std::uint8_t> reply;
};

class DnsSystem {
public:
    virtual ~DnsSystem() = default;
    // Reads the machine's name servers and DNS domain.
    virtual DnsHostConfig DiscoverDnsConfig() = 0;
    // First IPv4 address of a host name; nothing when the name does not resolve.
    virtual std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) = 0;
    // Host name registered for an IPv4 address; empty when there is none or the lookup fails.
    virtual std::string HostNameOf(const IPv4Bytes& address) = 0;
    // Sends query as one datagram from an unbound IPv4 UDP socket to server:port and answers
    // the first datagram (of at most maxReply bytes) that comes from server:port and passes
    // accepts. Datagrams from any other sender or refused by accepts are dropped, and the wait
    // goes on; it lasts at most receiveTimeoutMs in all. The sockets library is started
    // before and released after the exchange.
    virtual DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port,
                                            const std::vector<std::uint8_t>& query, unsigned receiveTimeoutMs,
                                            std::size_t maxReply, const DatagramFilter& accepts) = 0;
};

// The receive step of ExchangeDatagram: a datagram from the asked server becomes the result
// when it passes accepts. True when it did and the exchange is over.
inline bool TakeIfAccepted(const std::uint8_t* data, std::size_t size, const DatagramFilter& accepts,
                           DatagramResult& result) {
    std::vector<std::uint8_t> datagram(data, data + size);
    if (!accepts(datagram)) return false;
    result = {DatagramOutcome::Answered, std::move(datagram)};
    return true;
}

// The platform implementation; defined by the POSIX files natively (reading /etc/resolv.conf)
// and by the Windows files inside the DLL.
std::unique_ptr<DnsSystem> MakePlatformDnsSystem();

}  // namespace zankit::mail
