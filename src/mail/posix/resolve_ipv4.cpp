#include "mail/posix/resolve_ipv4.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

namespace zankit::mail {
namespace {

struct AddressInfoDeleter {
    void operator()(addrinfo* info) const { ::freeaddrinfo(info); }
};
using AddressInfo = std::unique_ptr<addrinfo, AddressInfoDeleter>;

}  // namespace

std::optional<IPv4Bytes> ResolveHostIPv4(const std::string& hostName) {
    if (hostName.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* raw = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &raw) != 0) return std::nullopt;
    const AddressInfo answer(raw);
    for (const addrinfo* entry = answer.get(); entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        const auto* found = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        IPv4Bytes bytes{};
        std::memcpy(bytes.data(), &found->sin_addr, bytes.size());
        return bytes;
    }
    return std::nullopt;
}

}  // namespace zankit::mail
