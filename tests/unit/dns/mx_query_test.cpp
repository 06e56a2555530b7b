#include <gtest/gtest.h>

#include <memory>

#include "dns_test_support.h"
#include "mail/mx_query.h"

namespace zankit::mail {
namespace {

using testing::EmptyAnswer;
using testing::ReplyBuilder;
using testing::ScriptedDnsSystem;

// A resolver over a scripted system with a state of its own.
struct Fixture {
    Fixture() {
        auto owned = std::make_unique<ScriptedDnsSystem>();
        system = owned.get();
        system->config = {"10.0.0.1 10.0.0.2,", "corp.example.com"};
        resolver = std::make_unique<MxResolver>(std::move(owned), state);
    }
    std::string Query(const std::string& domain) {
        return resolver->MXQuery(domain, [this](std::string& text) { statuses.push_back(text); });
    }

    DnsModuleState state;
    ScriptedDnsSystem* system = nullptr;
    std::unique_ptr<MxResolver> resolver;
    std::vector<std::string> statuses;
};

DatagramResult TwoRecords(const std::string& domain) {
    ReplyBuilder reply(domain);
    reply.CompressedMX(20, "mx20").CompressedMX(10, "mx10");
    return {DatagramOutcome::Answered, reply.Bytes()};
}

TEST(MXQuery, TrimsTheDomainAndAsksTheFirstServer) {
    Fixture f;
    f.system->exchange = TwoRecords;
    EXPECT_EQ(f.Query("  example.com  "), "mx10.example.com");
    EXPECT_EQ(f.statuses, (std::vector<std::string>{"Performing MX Query, Domain: example.com"}));
    EXPECT_EQ(f.system->queried, (std::vector<std::string>{"example.com"}));
    EXPECT_EQ(f.system->servers, (std::vector<IPv4Bytes>{{10, 0, 0, 1}}));
    EXPECT_EQ(f.system->ports, (std::vector<std::uint16_t>{53}));
    EXPECT_EQ(f.system->timeouts, (std::vector<unsigned>{5000}));
}

TEST(MXQuery, EmptyDomainAsksForTheMachinesDomain) {
    Fixture f;
    f.system->exchange = TwoRecords;
    EXPECT_EQ(f.Query("   "), "mx10.corp.example.com");
    EXPECT_EQ(f.statuses, (std::vector<std::string>{"Performing MX Query"}));
    EXPECT_EQ(f.system->queried, (std::vector<std::string>{"corp.example.com"}));
}

TEST(MXQuery, NamedServerIsResolvedFirst) {
    Fixture f;
    f.system->config.servers = "ns.example.org,";
    f.system->names["ns.example.org"] = IPv4Bytes{192, 0, 2, 7};
    f.system->exchange = TwoRecords;
    EXPECT_EQ(f.Query("example.com"), "mx10.example.com");
    EXPECT_EQ(f.system->servers, (std::vector<IPv4Bytes>{{192, 0, 2, 7}}));
}

TEST(MXQuery, FailuresGiveEmptyResultsAndTheirStatusText) {
    struct Case {
        std::string servers;
        std::string domain;
        DatagramOutcome outcome;
        std::string text;
    };
    const std::vector<Case> cases{
        {"", "example.com", DatagramOutcome::Answered, kMxNoDnsEntries},
        {"10.0.0.1,", "a.de", DatagramOutcome::Answered, kMxNoValidDomain},
        {"10.0.0.1,", std::string(64, 'x') + ".de", DatagramOutcome::Answered, kMxNoValidDomain},
        {"10.0.0.1,", "example.com", DatagramOutcome::SendFailed, kMxSendProblem},
        {"10.0.0.1,", "example.com", DatagramOutcome::ReceiveFailed, kMxReceiveProblem},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.system->config.servers = c.servers;
        f.system->exchange = [&c](const std::string& domain) {
            DatagramResult result = TwoRecords(domain);
            result.outcome = c.outcome;
            return result;
        };
        EXPECT_EQ(f.Query(c.domain), "") << c.text;
        ASSERT_EQ(f.statuses.size(), 2u) << c.text;
        EXPECT_EQ(f.statuses[1], c.text);
    }
    EXPECT_EQ(std::string(kMxNoDnsEntries), "No DNS entries found, MX Query cannot contine.");
}

TEST(MXQuery, SilentFailuresRaiseNoStatus) {
    Fixture unknown;
    unknown.system->config.servers = "nowhere.invalid,";
    EXPECT_EQ(unknown.Query("example.com"), "");
    EXPECT_EQ(unknown.statuses.size(), 1u);
    EXPECT_TRUE(unknown.system->queried.empty());

    Fixture noSockets;
    noSockets.system->exchange = [](const std::string&) { return DatagramResult{DatagramOutcome::NoSockets, {}}; };
    EXPECT_EQ(noSockets.Query("example.com"), "");
    EXPECT_EQ(noSockets.statuses.size(), 1u);

    Fixture shortReply;
    shortReply.system->exchange = [](const std::string&) {
        return DatagramResult{DatagramOutcome::Answered, DnsBytes(11, 0)};
    };
    EXPECT_EQ(shortReply.Query("a.b.example.com"), "");
    EXPECT_EQ(shortReply.statuses.size(), 1u);
    EXPECT_EQ(shortReply.system->queried.size(), 1u);
}

TEST(MXQuery, EmptyAnswersWalkUpToTheBaseDomainAndStopThere) {
    Fixture f;
    f.system->exchange = EmptyAnswer;
    EXPECT_EQ(f.Query("a.b.EXAMPLE.com"), "");
    EXPECT_EQ(f.system->queried, (std::vector<std::string>{"a.b.EXAMPLE.com", "b.EXAMPLE.com", "EXAMPLE.com"}));

    Fixture found;
    found.system->exchange = [](const std::string& domain) {
        return domain == "example.com" ? TwoRecords(domain) : EmptyAnswer(domain);
    };
    EXPECT_EQ(found.Query("a.b.example.com"), "mx10.example.com");
    EXPECT_EQ(found.system->queried.size(), 3u);

    Fixture elsewhere;
    elsewhere.system->exchange = EmptyAnswer;
    EXPECT_EQ(elsewhere.Query("mail.example.org"), "");
    EXPECT_EQ(elsewhere.system->queried.size(), 1u);
}

TEST(MXQuery, WalkUpEndsAtTheLengthCheckAndOnDomainsWithoutDot) {
    Fixture shortParent;
    shortParent.system->config.domain = "x.io";  // base domain "x.io"
    shortParent.system->exchange = EmptyAnswer;
    EXPECT_EQ(shortParent.Query("a.x.io"), "");
    EXPECT_EQ(shortParent.system->queried, (std::vector<std::string>{"a.x.io"}));
    EXPECT_EQ(shortParent.statuses.back(), kMxNoValidDomain);

    Fixture singleLabel;
    singleLabel.system->config.domain = "corp";  // base domain "corp"
    singleLabel.system->exchange = EmptyAnswer;
    EXPECT_EQ(singleLabel.Query("mycorp"), "");
    EXPECT_EQ(singleLabel.system->queried, (std::vector<std::string>{"mycorp"}));
    EXPECT_EQ(singleLabel.statuses.size(), 1u);
}

TEST(MXQuery, DiscoveryRunsOnceWhileItFoundServers) {
    Fixture f;
    f.system->exchange = TwoRecords;
    f.Query("example.com");
    f.Query("example.org");
    EXPECT_EQ(f.system->discoveries, 1);

    Fixture none;
    none.system->config.servers = "";
    none.Query("example.com");
    none.system->config.servers = "10.0.0.9,";
    none.system->exchange = TwoRecords;
    EXPECT_EQ(none.Query("example.com"), "mx10.example.com");
    EXPECT_EQ(none.system->discoveries, 2);

    // Another resolver on the same state reuses what the first discovered.
    auto owned = std::make_unique<ScriptedDnsSystem>();
    ScriptedDnsSystem& second = *owned;
    second.exchange = TwoRecords;
    MxResolver resolver(std::move(owned), f.state);
    EXPECT_EQ(resolver.MXQuery("", nullptr), "mx10.corp.example.com");
    EXPECT_EQ(second.discoveries, 0);
}

}  // namespace
}  // namespace zankit::mail
