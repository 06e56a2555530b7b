// The MX query over a scripted DNS system: which servers are asked for which domains, and what
// comes of it. Answers from real and misbehaving name servers reach it through COM
// (tests/peers/run_dns_tests.sh); the answer walk also runs under libFuzzer.
#include <gtest/gtest.h>

#include <functional>

#include "mail/dns/dns_message.h"
#include "mail/dns_seam.h"
#include "mail/dns/mx_query.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

using Texts = std::vector<std::string>;

// A DNS system whose answers the test sets; it records what was asked ("a.b.c.d:port domain").
class ScriptedDnsSystem : public DnsSystem {
public:
    using Exchange = std::function<DatagramResult(const std::string& domain)>;

    DnsHostConfig DiscoverDnsConfig() override { return config; }
    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        if (hostName != "ns.example.org") return std::nullopt;
        return IPv4Bytes{192, 0, 2, 7};
    }
    std::string HostNameOf(const IPv4Bytes&) override { return ""; }
    // A reply the filter refuses ends as the platform's wait would, without an answer.
    DatagramResult ExchangeDatagram(const IPv4Bytes& server, std::uint16_t port, const std::vector<std::uint8_t>& query,
                                    unsigned, std::size_t, const DatagramFilter& accepts) override {
        std::size_t position = kDnsHeaderSize;
        const std::string domain = ReadDnsName(query, position).value_or("<unreadable>");
        asked.push_back(std::to_string(server[0]) + "." + std::to_string(server[1]) + "." + std::to_string(server[2]) +
                        "." + std::to_string(server[3]) + ":" + std::to_string(port) + " " + domain);
        DatagramResult result = exchange ? exchange(domain) : DatagramResult{DatagramOutcome::ReceiveFailed, {}};
        const bool refused = result.outcome == DatagramOutcome::Answered && !accepts(result.reply);
        return refused ? DatagramResult{DatagramOutcome::ReceiveFailed, {}} : result;
    }

    DnsHostConfig config;
    Exchange exchange;
    Texts asked;
};

// The reply to the MX question for domain, with the records "mx20" and "mx10" in the domain or none.
DatagramResult Reply(const std::string& domain, bool withRecords) {
    DnsBytes bytes = *BuildMXQuery(domain);
    bytes[2] = 0x81;  // response, recursion desired
    bytes[3] = 0x80;  // recursion available
    for (std::uint8_t preference : {20, 10}) {
        if (!withRecords) break;
        ++bytes[7];
        // owner: pointer to the question; type MX, class IN, one hour; 9 bytes of data
        bytes.insert(bytes.end(), {0xC0, 12, 0, 15, 0, 1, 0, 0, 0x0E, 0x10, 0, 9, 0, preference, 4, 'm', 'x'});
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>('0' + preference / 10), '0', 0xC0, 12});
    }
    return {DatagramOutcome::Answered, bytes};
}
DatagramResult TwoRecords(const std::string& domain) { return Reply(domain, true); }
DatagramResult EmptyAnswer(const std::string& domain) { return Reply(domain, false); }
ScriptedDnsSystem::Exchange Failing(DatagramOutcome outcome) {
    return [outcome](const std::string&) { return DatagramResult{outcome, {}}; };
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
        {"label too long to write", machine, longLabel, TwoRecords, "", kMxNoValidDomain, {}},
        {"send fails", machine, "example.com", Failing(DatagramOutcome::SendFailed), "", kMxSendProblem,
         {"example.com"}},
        {"server name that does not resolve", {"nowhere.invalid,", ""}, "example.com", TwoRecords, "", "", {}},
        {"no sockets", machine, "example.com", Failing(DatagramOutcome::NoSockets), "", "", {"example.com"}},
        {"empty answers walk up to the base domain", machine, "a.b.EXAMPLE.com", EmptyAnswer, "", "",
         {"a.b.EXAMPLE.com", "b.EXAMPLE.com", "EXAMPLE.com"}},
        {"no walk outside the base domain", machine, "mail.example.org", EmptyAnswer, "", "", {"mail.example.org"}},
        {"the walk ends on a domain without dot", {"10.0.0.1,", "corp"}, "mycorp", EmptyAnswer, "", "", {"mycorp"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto owned = std::make_unique<ScriptedDnsSystem>();
        ScriptedDnsSystem& system = *owned;
        system.config = row.config;
        system.exchange = row.exchange;
        DnsModuleState state;
        Texts statuses, expected{performing + TrimSpaces(row.domain)}, asked;
        MxResolver resolver(std::move(owned), state);  // owns the system
        EXPECT_EQ(resolver.MXQuery(row.domain, [&](std::string& t) { statuses.push_back(t); }), row.exchanger);
        if (!row.failure.empty()) expected.push_back(row.failure);
        EXPECT_EQ(statuses, expected);
        for (const std::string& question : row.asked) {
            asked.push_back(question.find(':') == std::string::npos ? "10.0.0.1:53 " + question : question);
        }
        EXPECT_EQ(system.asked, asked);
    }
}

}  // namespace
}  // namespace zankit::mail
