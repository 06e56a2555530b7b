#include <gtest/gtest.h>

#include <memory>

#include "dns_test_support.h"
#include "mail/mx_query.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

using testing::ReplyBuilder;
using testing::ScriptedDnsSystem;
using Texts = std::vector<std::string>;

// A resolver over a scripted system with a state of its own.
struct Fixture {
    explicit Fixture(const DnsHostConfig& config = {"10.0.0.1 10.0.0.2,", "corp.example.com"}) {
        auto owned = std::make_unique<ScriptedDnsSystem>();
        system = owned.get();
        system->config = config;
        system->names["ns.example.org"] = IPv4Bytes{192, 0, 2, 7};
        resolver = std::make_unique<MxResolver>(std::move(owned), state);
    }
    std::string Query(const std::string& domain) {
        return resolver->MXQuery(domain, [this](std::string& text) { statuses.push_back(text); });
    }

    DnsModuleState state;
    ScriptedDnsSystem* system = nullptr;
    std::unique_ptr<MxResolver> resolver;
    Texts statuses;
};

DatagramResult TwoRecords(const std::string& domain) {
    return {DatagramOutcome::Answered, ReplyBuilder(domain).CompressedMX(20, "mx20").CompressedMX(10, "mx10").Bytes()};
}
// An answer without records (the name has no MX records, or does not exist).
DatagramResult EmptyAnswer(const std::string& domain) {
    return {DatagramOutcome::Answered, ReplyBuilder(domain).Bytes()};
}
ScriptedDnsSystem::Exchange Failing(DatagramOutcome outcome) {
    return [outcome](const std::string&) { return DatagramResult{outcome, {}}; };
}

DatagramResult OtherId(const std::string& domain) {
    DatagramResult result = TwoRecords(domain);
    result.reply[0] ^= 0x80;
    return result;
}
DatagramResult FoundAtExampleCom(const std::string& domain) {
    return domain == "example.com" ? TwoRecords(domain) : EmptyAnswer(domain);
}

TEST(MXQuery, QueriesAndTheirOutcome) {
    const std::string performing = "Performing MX Query, Domain: ";
    const std::string longLabel = std::string(64, 'x') + ".de";
    const DnsHostConfig machine{"10.0.0.1 10.0.0.2,", "corp.example.com"};
    // clang-format off
    const struct {
        const char* what;
        DnsHostConfig config; std::string domain; ScriptedDnsSystem::Exchange exchange;
        std::string exchanger; std::string failure; Texts asked;  // on 10.0.0.1:53 unless named
    } rows[] = {
        {"trimmed domain", machine, " example.com ", TwoRecords, "mx10.example.com", "", {"example.com"}},
        {"named server resolved first", {"ns.example.org,", ""}, "example.com", TwoRecords, "mx10.example.com", "",
         {"192.0.2.7:53 example.com"}},
        {"no name server", {"", "x.com"}, "example.com", TwoRecords, "", kMxNoDnsEntries, {}},
        {"domain of four characters", machine, "a.de", TwoRecords, "", kMxNoValidDomain, {}},
        {"label too long to write", machine, longLabel, TwoRecords, "", kMxNoValidDomain, {}},
        {"send fails", machine, "example.com", Failing(DatagramOutcome::SendFailed), "", kMxSendProblem,
         {"example.com"}},
        {"receive fails", machine, "example.com", Failing(DatagramOutcome::ReceiveFailed), "", kMxReceiveProblem,
         {"example.com"}},
        {"an answer with another id is none", machine, "example.com", OtherId, "", kMxReceiveProblem,
         {"example.com"}},
        {"server name that does not resolve", {"nowhere.invalid,", ""}, "example.com", TwoRecords, "", "", {}},
        {"no sockets", machine, "example.com", Failing(DatagramOutcome::NoSockets), "", "", {"example.com"}},
        {"empty answers walk up to the base domain", machine, "a.b.EXAMPLE.com", EmptyAnswer, "", "",
         {"a.b.EXAMPLE.com", "b.EXAMPLE.com", "EXAMPLE.com"}},
        {"found on the way up", machine, "a.b.example.com", FoundAtExampleCom, "mx10.example.com", "",
         {"a.b.example.com", "b.example.com", "example.com"}},
        {"no walk outside the base domain", machine, "mail.example.org", EmptyAnswer, "", "", {"mail.example.org"}},
        {"the walk ends at the length check", {"10.0.0.1,", "x.io"}, "a.x.io", EmptyAnswer, "", kMxNoValidDomain,
         {"a.x.io"}},
        {"the walk ends on a domain without dot", {"10.0.0.1,", "corp"}, "mycorp", EmptyAnswer, "", "", {"mycorp"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fixture f(row.config);
        f.system->exchange = row.exchange;
        EXPECT_EQ(f.Query(row.domain), row.exchanger);
        Texts statuses{performing + TrimSpaces(row.domain)};
        if (!row.failure.empty()) statuses.push_back(row.failure);
        EXPECT_EQ(f.statuses, statuses);
        Texts asked;
        for (const std::string& question : row.asked) {
            asked.push_back(question.find(':') == std::string::npos ? "10.0.0.1:53 " + question : question);
        }
        EXPECT_EQ(f.system->asked, asked);
    }
}

TEST(MXQuery, EmptyDomainAsksForTheMachinesDomain) {
    Fixture f;
    f.system->exchange = TwoRecords;
    EXPECT_EQ(f.Query("   "), "mx10.corp.example.com");
    EXPECT_EQ(f.statuses, (Texts{"Performing MX Query"}));
    EXPECT_EQ(f.system->asked, (Texts{"10.0.0.1:53 corp.example.com"}));
}

TEST(MXQuery, DiscoveryRunsOnceWhileItFoundServers) {
    Fixture f;
    f.system->exchange = TwoRecords;
    f.Query("example.com");
    f.Query("example.org");
    EXPECT_EQ(f.system->discoveries, 1);

    Fixture none({"", "corp.example.com"});
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
