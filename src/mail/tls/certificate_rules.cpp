#include "mail/tls/certificate_rules.h"

#include <algorithm>

#include "mail/tls/tls_engine.h"

namespace zankit::mail {
namespace {

// One decimal part of a dotted IPv4 address: 1 to 3 digits, at most 255.
std::optional<std::uint8_t> DecimalByte(std::string_view part) {
    if (part.empty() || part.size() > 3) return std::nullopt;
    unsigned value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::optional<AddressBytes> ParseIPv4(std::string_view text) {
    AddressBytes bytes;
    for (;;) {
        const std::size_t dot = text.find('.');
        const auto byte = DecimalByte(text.substr(0, dot));
        if (!byte) return std::nullopt;
        bytes.push_back(*byte);
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    if (bytes.size() != 4) return std::nullopt;
    return bytes;
}

// One group of an IPv6 address: 1 to 4 hexadecimal digits.
std::optional<std::uint16_t> HexGroup(std::string_view group) {
    if (group.empty() || group.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : group) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

// The groups of one side of "::" as bytes; the last group may be a dotted IPv4 address.
std::optional<AddressBytes> IPv6Groups(std::string_view text, bool mayEndInIPv4) {
    AddressBytes bytes;
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && mayEndInIPv4 && group.find('.') != std::string_view::npos) {
            const auto tail = ParseIPv4(group);
            if (!tail) return std::nullopt;
            bytes.insert(bytes.end(), tail->begin(), tail->end());
            return bytes;
        }
        const auto value = HexGroup(group);
        if (!value) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*value >> 8));
        bytes.push_back(static_cast<std::uint8_t>(*value & 0xFF));
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
        if (text.empty()) return std::nullopt;  // a trailing single colon
    }
    return bytes;
}

std::optional<AddressBytes> ParseIPv6(std::string_view text) {
    constexpr std::size_t kSize = 16;
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        auto bytes = IPv6Groups(text, true);
        if (!bytes || bytes->size() != kSize) return std::nullopt;
        return bytes;
    }
    if (text.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
    const auto head = IPv6Groups(text.substr(0, gap), false);
    const auto tail = IPv6Groups(text.substr(gap + 2), true);
    if (!head || !tail || head->size() + tail->size() > kSize - 2) return std::nullopt;
    AddressBytes bytes(*head);
    bytes.resize(kSize - tail->size(), 0);
    bytes.insert(bytes.end(), tail->begin(), tail->end());
    return bytes;
}

}  // namespace

std::optional<AddressBytes> ParseHostAddress(std::string_view host) {
    if (host.find(':') != std::string_view::npos) return ParseIPv6(host);
    return ParseIPv4(host);
}

bool CertificateNamesAddress(const AddressBytes& server, const std::vector<AddressBytes>& certificateAddresses) {
    return std::find(certificateAddresses.begin(), certificateAddresses.end(), server) != certificateAddresses.end();
}

ChainVerdict JudgeChain(std::uint32_t errorStatus) {
    constexpr std::uint32_t kUnknown = chain_status::kRevocationUnknown | chain_status::kRevocationOffline;
    const std::uint32_t faults = errorStatus & ~kUnknown;
    if (faults & chain_status::kRevoked) return {kCertificateRevoked};
    if (faults & chain_status::kNotTimeValid) return {kCertificateExpired};
    if (faults != 0) return {kCertificateNotTrusted};
    return {{}, (errorStatus & kUnknown) != 0};
}

}  // namespace zankit::mail
