// The TLS engine's portable decisions: which hosts are addresses (no SNI, only the
// certificate's address entries match) and what a chain's status bits allow.
#include <gtest/gtest.h>

#include "mail/tls/certificate_rules.h"
#include "mail/tls/tls_engine.h"

namespace zankit::mail {
namespace {

TEST(CertificateRules, HostAddresses) {
    const AddressBytes loopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const AddressBytes mapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 192, 0, 2, 7};
    const AddressBytes full{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0xab, 0xcd, 0, 0x12};
    const struct {
        const char* host;
        std::optional<AddressBytes> address;
    } rows[] = {
        {"127.0.0.1", AddressBytes{127, 0, 0, 1}}, {"::1", loopback6}, {"::ffff:192.0.2.7", mapped},
        {"2001:DB8::abcd:12", full}, {"2001:db8:0:0:0:0:abcd:12", full},
        // names, and texts the resolver may read as an address but a certificate never lists
        {"mail.0.0.1", std::nullopt}, {"127.1", std::nullopt}, {"127.0.0.256", std::nullopt},
        {"127.0.0.1.", std::nullopt}, {"[::1]", std::nullopt}, {"1::2::3", std::nullopt},
        {"1:2:3:4:5:6:7:8:9", std::nullopt}, {"1:2:3:4:5:6:7", std::nullopt}, {"12345::1", std::nullopt},
        {"::1:", std::nullopt}, {"fe80::1%eth0", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseHostAddress(row.host), row.address) << row.host;
    EXPECT_FALSE(CertificateNamesAddress(loopback6, {{0, 0, 0, 1}, mapped}));
}

TEST(CertificateRules, ChainStatus) {
    using namespace chain_status;
    const struct {
        std::uint32_t status;
        std::string_view fault;
        bool unchecked;
    } rows[] = {
        {0, {}, false},
        {kRevocationUnknown | kRevocationOffline, {}, true},
        {kRevoked | kRevocationUnknown, kCertificateRevoked, false},  // a revoked link, an unknown other
        {kRevoked | kNotTimeValid, kCertificateRevoked, false},
        {kNotTimeValid | kRevocationOffline, kCertificateExpired, false},
        {0x00010000 | kRevocationUnknown, kCertificateNotTrusted, false},  // partial chain
        {0x80000000, kCertificateNotTrusted, false},                       // a bit nobody knows yet
    };
    for (const auto& row : rows) {
        const ChainVerdict verdict = JudgeChain(row.status);
        EXPECT_EQ(verdict.fault, row.fault) << std::hex << row.status;
        EXPECT_EQ(verdict.revocationUnchecked, row.unchecked) << std::hex << row.status;
    }
}

}  // namespace
}  // namespace zankit::mail
