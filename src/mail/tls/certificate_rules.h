// What the TLS engine decides about a server's certificate, apart from the platform that reads
// it: whether the server was named by an address (then no SNI and only the certificate's
// address entries count) and what the status bits of a built chain mean for the connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zankit::mail {

using AddressBytes = std::vector<std::uint8_t>;

// The 4 bytes of a dotted IPv4 address or the 16 bytes of an IPv6 address written as text;
// nothing for a host name (anything else, "127.1" and "[::1]" included).
std::optional<AddressBytes> ParseHostAddress(std::string_view host);

// True when one of the certificate's address entries is the server's address. Names never
// match an address: neither the subject's common name nor a DNS entry, wildcard or not.
bool CertificateNamesAddress(const AddressBytes& server, const std::vector<AddressBytes>& certificateAddresses);

// Status bits of a certificate chain, as the platform's chain engine reports them.
namespace chain_status {
inline constexpr std::uint32_t kNotTimeValid = 0x00000001;
inline constexpr std::uint32_t kRevoked = 0x00000004;
inline constexpr std::uint32_t kRevocationUnknown = 0x00000040;
inline constexpr std::uint32_t kRevocationOffline = 0x01000000;
}  // namespace chain_status

// What a chain's status allows.
struct ChainVerdict {
    std::string_view fault;           // empty: the chain is good; else the SendFailed text
    bool revocationUnchecked = false;  // good, but nobody could say whether it was revoked
};

// A revoked certificate, one out of its dates or any other fault of the chain refuses it; a
// revocation state that is unknown or whose list could not be reached lets it through with a
// notice (kRevocationNotChecked).
ChainVerdict JudgeChain(std::uint32_t errorStatus);

}  // namespace zankit::mail
