#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "mail/address_validation.h"

namespace zankit::mail {
namespace {

TEST(AddressValidation, HostNamesAddressesAndIPs) {
    using Check = bool (*)(std::string_view);
    const struct {
        Check check;
        const char* text;
        bool valid;
    } rows[] = {
        // The last label is searched as text in the list of known top-level domains.
        {IsValidHostName, "example.de", true},
        {IsValidHostName, "example.cat", true},  // inside "EDUCATION"
        {IsValidHostName, "example.co", true},   // inside "COM"
        {IsValidHostName, "example.", true},     // an empty label occurs everywhere
        {IsValidHostName, "  Mail.Example.COM  ", true},
        {IsValidHostName, "example.asia", false},
        {IsValidHostName, "example.xx", false},
        {IsValidHostName, "de", false},
        {IsValidHostName, "   ", false},
        {IsValidHostName, "192.168.1.10", true},
        {IsValidHostName, "240.1.1.1", false},  // dotted addresses need a first part up to 239
        {IsValidEmailAddress, "user@example.com", true},
        {IsValidEmailAddress, "@example.de", true},
        {IsValidEmailAddress, "USER@EXAMPLE.De ", true},
        {IsValidEmailAddress, "user@ 10.0.0.1", true},
        {IsValidEmailAddress, "user.example.com", false},
        {IsValidEmailAddress, "a@b@example.com", false},
        {IsValidEmailAddress, "", false},
        {IsValidEmailAddress, "user@localhost", false},
        {IsValidEmailAddress, "user@example.com\r\n", false},
        {IsIPAddress, "127.0.0.1", true},
        {IsIPAddress, "239.255.255.255", true},
        {IsIPAddress, "240.0.0.1", false},
        {IsIPAddress, "1.256.0.1", false},
        {IsIPAddress, "1.2.3", false},
        {IsIPAddress, "1.2.3.4.5", false},
        {IsIPAddress, "1.2..4", false},
        {IsIPAddress, "a.b.c.d", false},
        {IsIPAddress, "-1.2.3.4", false},
        {IsIPAddress, "1.2.3.99999999999999999999", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.check(row.text), row.valid);
    }
}

TEST(AddressValidation, DottedToAddressLaysTheBytesInNetworkOrder) {
    const struct {
        const char* text;
        std::array<unsigned char, 4> bytes;
    } rows[] = {{"10.0.0.1", {10, 0, 0, 1}}, {"256.1.2.3", {0, 1, 2, 3}}, {"1.2.3", {0, 0, 0, 0}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::uint32_t address = DottedToAddress(row.text);
        std::array<unsigned char, 4> bytes{};
        std::memcpy(bytes.data(), &address, bytes.size());
        EXPECT_EQ(bytes, row.bytes);
    }
}

}  // namespace
}  // namespace zankit::mail
