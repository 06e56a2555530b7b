#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "dns_test_support.h"
#include "mail/dns_discovery.h"

namespace zankit::mail {
namespace {

using testing::ScriptedDnsSystem;

TEST(ServerText, SpacesAndCommasSeparateAndOneFinalCommaIsDropped) {
    const struct {
        const char* text;
        TextList servers;
    } rows[] = {
        {"10.0.0.1 10.0.0.2,", {"10.0.0.1", "10.0.0.2"}},
        {"10.0.0.1,10.0.0.2,", {"10.0.0.1", "10.0.0.2"}},
        {"10.0.0.1", {"10.0.0.1"}},
        {"a,,", {"a", ""}},
        {"", {}},
        {",", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(SplitServerText(row.text), row.servers);
    }
}

TEST(ResolvConf, NameserversInOrderAndTheDomainLineBeforeSearch) {
    const DnsHostConfig config = ParseResolvConf(
        "# generated\n"
        "search first.example second.example\n"
        "nameserver 10.0.0.53\n"
        "nameserver\t::1\n"
        "; nameserver 10.9.9.9\n"
        "  nameserver   192.0.2.1  \r\n"
        "options ndots:2\n"
        "domain corp.example.com\n"
        "nameserver");
    EXPECT_EQ(config.servers, "10.0.0.53,192.0.2.1,");
    EXPECT_EQ(config.domain, "corp.example.com");
    EXPECT_EQ(ParseResolvConf("search a.example b.example\nsearch c.example\n").domain, "a.example");
}

TEST(GetDnsInfo, MachineDomainGivesDefaultAndBaseDomain) {
    ScriptedDnsSystem system;
    system.config = {"10.0.0.1 10.0.0.2,", "corp.example.com"};
    DnsModuleState state;
    GetDnsInfo(system, state);
    EXPECT_EQ(state.dnsServers, (TextList{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(state.defaultDomain, "corp.example.com");
    EXPECT_EQ(state.baseDomain, "example.com");
    EXPECT_TRUE(system.reverseAsked.empty());

    system.config.domain = "intranet";
    GetDnsInfo(system, state);
    EXPECT_EQ(state.baseDomain, "intranet");
}

TEST(GetDnsInfo, WithoutDomainTheFirstServersHostNameGivesIt) {
    ScriptedDnsSystem system;
    system.config = {"192.0.2.53,192.0.2.54,", ""};
    system.reverseNames[IPv4Bytes{192, 0, 2, 53}] = std::string(" ns1.lab.example.net \0junk", 26);
    DnsModuleState state;
    GetDnsInfo(system, state);
    EXPECT_EQ(system.reverseAsked, (std::vector<IPv4Bytes>{{192, 0, 2, 53}}));
    EXPECT_EQ(state.defaultDomain, "lab.example.net");
    EXPECT_EQ(state.baseDomain, "example.net");

    system.reverseNames[IPv4Bytes{192, 0, 2, 53}] = "localhost";  // no "." in the host name
    GetDnsInfo(system, state);
    EXPECT_EQ(state.defaultDomain, "");
    EXPECT_EQ(state.baseDomain, "");

    system.config = {"ns.example.org,", ""};  // a named server is not looked up backwards
    system.reverseAsked.clear();
    GetDnsInfo(system, state);
    EXPECT_TRUE(system.reverseAsked.empty());
    EXPECT_EQ(ReverseLookup(system, "240.0.0.1"), "");
    EXPECT_TRUE(system.reverseAsked.empty());
}

TEST(DnsModuleStateTest, OneCopyPerThread) {
    DnsModuleState* here = &ThisThreadDnsState();
    EXPECT_EQ(here, &ThisThreadDnsState());
    DnsModuleState* there = nullptr;
    std::thread other([&there] { there = &ThisThreadDnsState(); });
    other.join();
    EXPECT_NE(here, there);
}

}  // namespace
}  // namespace zankit::mail
