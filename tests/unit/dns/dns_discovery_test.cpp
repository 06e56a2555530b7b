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

TEST(GetDnsInfo, DomainsFromTheMachineOrTheFirstServersHostName) {
    // clang-format off
    const struct {
        const char* what; DnsHostConfig config; std::string hostName;  // of 192.0.2.53
        TextList servers; std::string defaultDomain; std::string baseDomain; bool askedBackwards;
    } rows[] = {
        {"machine domain", {"10.0.0.1 10.0.0.2,", "corp.example.com"}, "", {"10.0.0.1", "10.0.0.2"},
         "corp.example.com", "example.com", false},
        {"single-label machine domain", {"10.0.0.1,", "intranet"}, "", {"10.0.0.1"}, "intranet", "intranet", false},
        {"host name of the first server", {"192.0.2.53,192.0.2.54,", ""}, std::string(" ns1.lab.example.net \0junk", 26),
         {"192.0.2.53", "192.0.2.54"}, "lab.example.net", "example.net", true},
        {"host name without a dot", {"192.0.2.53,", ""}, "localhost", {"192.0.2.53"}, "", "", true},
        {"a named server is not looked up backwards", {"ns.example.org,", ""}, "", {"ns.example.org"}, "", "", false},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedDnsSystem system;
        system.config = row.config;
        system.reverseNames[IPv4Bytes{192, 0, 2, 53}] = row.hostName;
        DnsModuleState state;
        GetDnsInfo(system, state);
        EXPECT_EQ(state.dnsServers, row.servers);
        EXPECT_EQ(state.defaultDomain, row.defaultDomain);
        EXPECT_EQ(state.baseDomain, row.baseDomain);
        EXPECT_EQ(system.reverseAsked.size(), row.askedBackwards ? 1u : 0u);
    }
    ScriptedDnsSystem system;
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
