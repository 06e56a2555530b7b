#include <gtest/gtest.h>

#include <memory>

#include "dns_test_support.h"
#include "mail/mx_query.h"

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

TEST(MXQuery, QueriesAndTheirOutcome) {
    struct Row {
        const char* what;
        DnsHostConfig config;
        std::string domain;
        ScriptedDnsSystem::Exchange exchange;
        std::string exchanger;
        Texts statuses;
        Texts asked;
    };
    const std::string performing = "Performing MX Query, Domain: example.com";
    const DnsHostConfig machine{"10.0.0.1 10.0.0.2,", "corp.example.com"};
    const Row rows[] = {
        {"domain trimmed, first server asked on port 53",
         machine,
         "  example.com  ",
         TwoRecords,
         "mx10.example.com",
         {performing},
         {"10.0.0.1:53 example.com"}},
        {"empty domain asks for the machine's domain",
         machine,
         "   ",
         TwoRecords,
         "mx10.corp.example.com",
         {"Performing MX Query"},
         {"10.0.0.1:53 corp.example.com"}},
        {"a named server is resolved first",
         {"ns.example.org,", ""},
         "example.com",
         TwoRecords,
         "mx10.example.com",
         {performing},
         {"192.0.2.7:53 example.com"}},
        {"no name server", {"", "corp.example.com"}, "example.com", TwoRecords, "", {performing, kMxNoDnsEntries}, {}},
        {"domain of four characters",
         machine,
         "a.de",
         TwoRecords,
         "",
         {"Performing MX Query, Domain: a.de", kMxNoValidDomain},
         {}},
        {"label too long to write",
         machine,
         std::string(64, 'x') + ".de",
         TwoRecords,
         "",
         {"Performing MX Query, Domain: " + std::string(64, 'x') + ".de", kMxNoValidDomain},
         {}},
        {"send fails",
         machine,
         "example.com",
         Failing(DatagramOutcome::SendFailed),
         "",
         {performing, kMxSendProblem},
         {"10.0.0.1:53 example.com"}},
        {"receive fails",
         machine,
         "example.com",
         Failing(DatagramOutcome::ReceiveFailed),
         "",
         {performing, kMxReceiveProblem},
         {"10.0.0.1:53 example.com"}},
        {"an answer with another id is no answer",
         machine,
         "example.com",
         [](const std::string& domain) {
             DatagramResult result = TwoRecords(domain);
             result.reply[0] ^= 0x80;
             return result;
         },
         "",
         {performing, kMxReceiveProblem},
         {"10.0.0.1:53 example.com"}},
        {"server name that does not resolve: silent",
         {"nowhere.invalid,", ""},
         "example.com",
         TwoRecords,
         "",
         {performing},
         {}},
        {"no sockets: silent",
         machine,
         "example.com",
         Failing(DatagramOutcome::NoSockets),
         "",
         {performing},
         {"10.0.0.1:53 example.com"}},
        {"empty answers walk up to the base domain",
         machine,
         "a.b.EXAMPLE.com",
         EmptyAnswer,
         "",
         {"Performing MX Query, Domain: a.b.EXAMPLE.com"},
         {"10.0.0.1:53 a.b.EXAMPLE.com", "10.0.0.1:53 b.EXAMPLE.com", "10.0.0.1:53 EXAMPLE.com"}},
        {"the base domain's exchanger is found on the way up",
         machine,
         "a.b.example.com",
         [](const std::string& domain) { return domain == "example.com" ? TwoRecords(domain) : EmptyAnswer(domain); },
         "mx10.example.com",
         {"Performing MX Query, Domain: a.b.example.com"},
         {"10.0.0.1:53 a.b.example.com", "10.0.0.1:53 b.example.com", "10.0.0.1:53 example.com"}},
        {"no walk outside the base domain",
         machine,
         "mail.example.org",
         EmptyAnswer,
         "",
         {"Performing MX Query, Domain: mail.example.org"},
         {"10.0.0.1:53 mail.example.org"}},
        {"the walk ends at the length check",
         {"10.0.0.1,", "x.io"},
         "a.x.io",
         EmptyAnswer,
         "",
         {"Performing MX Query, Domain: a.x.io", kMxNoValidDomain},
         {"10.0.0.1:53 a.x.io"}},
        {"the walk ends on a domain without dot",
         {"10.0.0.1,", "corp"},
         "mycorp",
         EmptyAnswer,
         "",
         {"Performing MX Query, Domain: mycorp"},
         {"10.0.0.1:53 mycorp"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Fixture f(row.config);
        f.system->exchange = row.exchange;
        EXPECT_EQ(f.Query(row.domain), row.exchanger);
        EXPECT_EQ(f.statuses, row.statuses);
        EXPECT_EQ(f.system->asked, row.asked);
    }
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
