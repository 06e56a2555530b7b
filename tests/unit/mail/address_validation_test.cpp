#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "mail/address_validation.h"

namespace zankit::mail {
namespace {

TEST(TopLevelDomains, ListHas279LabelsIn934Characters) {
    EXPECT_EQ(kKnownTopLevelDomains.size(), 934u);
    std::istringstream words{std::string(kKnownTopLevelDomains)};
    std::string word;
    int count = 0;
    while (words >> word) ++count;
    EXPECT_EQ(count, 279);
}

TEST(HostName, LastLabelIsSearchedAsTextInTheList) {
    EXPECT_TRUE(IsValidHostName("example.de"));
    EXPECT_TRUE(IsValidHostName("example.cat"));  // inside "EDUCATION"
    EXPECT_TRUE(IsValidHostName("example.co"));   // inside "COM"
    EXPECT_TRUE(IsValidHostName("example.om"));
    EXPECT_TRUE(IsValidHostName("example."));  // an empty label occurs everywhere
    EXPECT_FALSE(IsValidHostName("example.asia"));
    EXPECT_FALSE(IsValidHostName("example.mobi"));
    EXPECT_FALSE(IsValidHostName("example.xx"));
    EXPECT_FALSE(IsValidHostName("de"));
    EXPECT_FALSE(IsValidHostName(""));
    EXPECT_FALSE(IsValidHostName("   "));
    EXPECT_TRUE(IsValidHostName("  Mail.Example.COM  "));
}

TEST(HostName, DottedAddressesNeedFirstPartUpTo239) {
    EXPECT_TRUE(IsValidHostName("192.168.1.10"));
    EXPECT_FALSE(IsValidHostName("240.1.1.1"));
}

TEST(EmailAddress, NeedsExactlyOneAtAndAValidDomain) {
    EXPECT_TRUE(IsValidEmailAddress("user@example.com"));
    EXPECT_TRUE(IsValidEmailAddress("@example.de"));
    EXPECT_TRUE(IsValidEmailAddress("USER@EXAMPLE.De "));
    EXPECT_TRUE(IsValidEmailAddress("user@ 10.0.0.1"));
    EXPECT_FALSE(IsValidEmailAddress("user.example.com"));
    EXPECT_FALSE(IsValidEmailAddress("a@b@example.com"));
    EXPECT_FALSE(IsValidEmailAddress(""));
    EXPECT_FALSE(IsValidEmailAddress("user@localhost"));
    EXPECT_FALSE(IsValidEmailAddress("user@example.com\r\n"));
}

TEST(IPAddress, FourDecimalPartsInRange) {
    EXPECT_TRUE(IsIPAddress("127.0.0.1"));
    EXPECT_TRUE(IsIPAddress("239.255.255.255"));
    EXPECT_FALSE(IsIPAddress("240.0.0.1"));
    EXPECT_FALSE(IsIPAddress("1.256.0.1"));
    EXPECT_FALSE(IsIPAddress("1.2.3"));
    EXPECT_FALSE(IsIPAddress("1.2.3.4.5"));
    EXPECT_FALSE(IsIPAddress("1.2..4"));
    EXPECT_FALSE(IsIPAddress("a.b.c.d"));
    EXPECT_FALSE(IsIPAddress("-1.2.3.4"));
    EXPECT_FALSE(IsIPAddress("1.2.3.99999999999999999999"));
}

TEST(IPAddress, DottedToAddressLaysTheBytesInNetworkOrder) {
    const std::uint32_t address = DottedToAddress("10.0.0.1");
    unsigned char bytes[4];
    std::memcpy(bytes, &address, 4);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 1);
    const std::uint32_t wrapped = DottedToAddress("256.1.2.3");
    std::memcpy(bytes, &wrapped, 4);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(DottedToAddress("1.2.3"), 0u);
}

}  // namespace
}  // namespace zankit::mail
