#include "mail/host_utilities.h"

#include <cstring>

#include "mail/address_validation.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

constexpr unsigned kEchoTimeoutMs = 255;
constexpr std::size_t kEchoPayloadBytes = 32;
constexpr std::size_t kReplyDataRoom = 250;

// Starts the sockets library for one member and stops it again when the member returns.
class SocketsScope {
public:
    explicit SocketsScope(HostNetwork& network) : network_(network), started_(network.StartSockets()) {}
    ~SocketsScope() {
        if (started_) network_.StopSockets();
    }
    SocketsScope(const SocketsScope&) = delete;
    SocketsScope& operator=(const SocketsScope&) = delete;
    bool Started() const { return started_; }

private:
    HostNetwork& network_;
    bool started_;
};

IPv4Bytes BytesOf(std::uint32_t inMemoryAddress) {
    IPv4Bytes bytes{};
    std::memcpy(bytes.data(), &inMemoryAddress, bytes.size());
    return bytes;
}

}  // namespace

std::string DottedText(const IPv4Bytes& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) + "." +
           std::to_string(address[3]);
}

HostUtilities::HostUtilities(HostNetwork& network) : network_(network), random_(std::random_device{}()) {}

std::string HostUtilities::GetIPAddress(std::string& hostName) {
    SocketsScope sockets(network_);
    if (!sockets.Started()) return {};
    if (hostName.empty()) hostName = GetIPHost();
    const std::string trimmed = TrimSpaces(hostName);
    hostName = trimmed + '\0';
    // The name ends at its first NUL, as a C string would.
    const std::string name = trimmed.substr(0, trimmed.find('\0'));
    const auto address = network_.ResolveIPv4(name);
    return address ? DottedText(*address) : std::string();
}

std::string HostUtilities::GetIPHost() {
    SocketsScope sockets(network_);
    if (!sockets.Started()) return {};
    std::string name = network_.LocalHostName();
    return name.substr(0, name.find('\0'));
}

bool HostUtilities::Ping(std::string& address) {
    std::string roundTripTime;
    std::string dataSize;
    bool dataMatch = false;
    return Ping(address, roundTripTime, dataSize, dataMatch);
}

bool HostUtilities::Ping(std::string& address, std::string& roundTripTime, std::string& dataSize, bool& dataMatch) {
    const std::string target = IsIPAddress(address) ? address : GetIPAddress(address);
    if (target.empty()) return false;
    SocketsScope sockets(network_);
    if (!sockets.Started()) return false;

    std::uniform_int_distribution<int> byteValue(1, 255);
    std::string payload(kEchoPayloadBytes, '\0');
    for (char& c : payload) c = static_cast<char>(byteValue(random_));

    const IPv4Bytes asked = BytesOf(DottedToAddress(target));
    const EchoResult reply = network_.Echo(asked, payload, kEchoTimeoutMs);

    roundTripTime = std::to_string(reply.roundTripMs);
    address = DottedText(reply.replyAddress);
    dataSize = std::to_string(reply.data.size()) + " bytes";

    // The reply data lies in a zero-filled room of 250 bytes: it is compared up to its first NUL
    // when at least one other byte precedes that NUL.
    std::string room = reply.data.substr(0, kReplyDataRoom);
    room.resize(kReplyDataRoom, '\0');
    const auto nul = room.find('\0');
    if (nul != std::string::npos && nul > 0) dataMatch = EqualsNoCase(room.substr(0, nul), payload);

    return reply.status == 0 && reply.replyAddress == asked;
}

}  // namespace zankit::mail
