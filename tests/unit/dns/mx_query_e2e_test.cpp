// The MX query against a real name server (dnsmasq) inside a network namespace. The tests run
// only when tests/peers/run_dns_tests.sh starts them with ZANKIT_DNS_E2E=1 inside the namespace,
// where /etc/resolv.conf names the dnsmasq at 127.0.0.1 and the domain corp.example.com.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mail/dns_message.h"
#include "mail/mx_query.h"
#include "mail/posix/dns_system.h"
#include "mail/posix/fd.h"

namespace zankit::mail {
namespace {

class MxQueryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const char* enabled = std::getenv("ZANKIT_DNS_E2E");
        if (enabled == nullptr || std::string(enabled) != "1") {
            GTEST_SKIP() << "needs the name server started by tests/peers/run_dns_tests.sh";
        }
    }

    std::string Query(MxResolver& resolver, const std::string& domain) {
        return resolver.MXQuery(domain, [this](std::string& text) { statuses.push_back(text); });
    }

    // A resolver configuration file of this test's own.
    std::string WriteResolvConf(const std::string& text) {
        const auto path =
            std::filesystem::temp_directory_path() / ("zankit-dns-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::ofstream(path) << text;
        files.push_back(path);
        return path.string();
    }

    void TearDown() override {
        for (const auto& file : files) std::filesystem::remove(file);
    }

    DnsModuleState state;
    std::vector<std::string> statuses;
    std::vector<std::filesystem::path> files;
};

TEST_F(MxQueryEndToEnd, LowestPreferenceWins) {
    MxResolver resolver(MakePlatformDnsSystem(), state);
    EXPECT_EQ(Query(resolver, " two.example.com "), "mx10.two.example.com");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Performing MX Query, Domain: two.example.com"}));
    EXPECT_EQ(state.dnsServers, (TextList{"127.0.0.1"}));
}

TEST_F(MxQueryEndToEnd, EqualPreferenceKeepsTheFirstInTheAnswer) {
    // Which record the server puts first is its choice; read it from the raw answer.
    const auto system = MakePlatformDnsSystem();
    const DatagramResult raw = system->ExchangeDatagram({127, 0, 0, 1}, kDnsPort, *BuildMXQuery("equal.example.com"),
                                                        kMxReceiveTimeoutMs, kMaxMxReply);
    ASSERT_EQ(raw.outcome, DatagramOutcome::Answered);
    const std::string bytes(raw.reply.begin(), raw.reply.end());
    const auto alpha = bytes.find("alpha");
    const auto beta = bytes.find("beta");
    ASSERT_NE(alpha, std::string::npos);
    ASSERT_NE(beta, std::string::npos);
    const std::string first = alpha < beta ? "alpha.equal.example.com" : "beta.equal.example.com";

    MxResolver resolver(MakePlatformDnsSystem(), state);
    EXPECT_EQ(Query(resolver, "equal.example.com"), first);
}

TEST_F(MxQueryEndToEnd, EmptyDomainAsksForTheMachinesDomain) {
    MxResolver resolver(MakePlatformDnsSystem(), state);
    EXPECT_EQ(Query(resolver, ""), "mail.corp.example.com");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Performing MX Query"}));
    EXPECT_EQ(state.baseDomain, "example.com");
}

TEST_F(MxQueryEndToEnd, ShortDomainIsRefused) {
    MxResolver resolver(MakePlatformDnsSystem(), state);
    EXPECT_EQ(Query(resolver, "a.de"), "");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Performing MX Query, Domain: a.de", "No Valid Domain Specified"}));
}

TEST_F(MxQueryEndToEnd, SubDomainWalksUpToTheBaseDomain) {
    MxResolver resolver(MakePlatformDnsSystem(), state);
    EXPECT_EQ(Query(resolver, "a.b.example.com"), "mx.example.com");
    EXPECT_EQ(state.queryDomain, "example.com");
    EXPECT_EQ(Query(resolver, "x.y.other.test"), "");
    EXPECT_EQ(state.queryDomain, "x.y.other.test");
    EXPECT_EQ(statuses.size(), 2u);
}

TEST_F(MxQueryEndToEnd, WithoutDomainTheServersHostNameGivesIt) {
    MxResolver resolver(MakePosixDnsSystem(WriteResolvConf("nameserver 127.0.0.1\n")), state);
    EXPECT_EQ(Query(resolver, ""), "mail.lab.example.com");
    EXPECT_EQ(state.defaultDomain, "lab.example.com");
    EXPECT_EQ(state.baseDomain, "example.com");
}

TEST_F(MxQueryEndToEnd, SilentServerEndsInAReceiveProblem) {
    // A server that takes the question and never answers.
    const FileDescriptor silent(::socket(AF_INET, SOCK_DGRAM, 0));
    ASSERT_TRUE(silent.Valid());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    const unsigned char bytes[4] = {127, 0, 0, 2};
    std::memcpy(&address.sin_addr, bytes, sizeof bytes);
    ASSERT_EQ(::bind(silent.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    MxResolver resolver(MakePosixDnsSystem(WriteResolvConf("nameserver 127.0.0.2\n")), state);
    EXPECT_EQ(Query(resolver, "two.example.com"), "");
    EXPECT_EQ(statuses.back(), "Problem receiving MX query");
}

}  // namespace
}  // namespace zankit::mail
