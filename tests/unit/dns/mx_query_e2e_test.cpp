// The MX query against real name servers inside a network namespace: dnsmasq, and servers of
// the test's own on 127.0.0.2 for behaviours dnsmasq cannot show on demand (silence, forged
// and stray datagrams). The tests run only when tests/peers/run_dns_tests.sh starts them with
// ZANKIT_DNS_E2E=1 inside the namespace, where /etc/resolv.conf names the dnsmasq at 127.0.0.1
// and the domain corp.example.com.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "dns_test_support.h"
#include "mail/mx_query.h"
#include "mail/posix/dns_system.h"
#include "mail/posix/fd.h"

namespace zankit::mail {
namespace {

using testing::ReplyBuilder;

class MxQueryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const char* enabled = std::getenv("ZANKIT_DNS_E2E");
        if (enabled == nullptr || std::string(enabled) != "1") {
            GTEST_SKIP() << "needs the name server started by tests/peers/run_dns_tests.sh";
        }
    }
    void TearDown() override {
        for (const auto& file : files_) std::filesystem::remove(file);
    }

    // A resolver over the namespace's configuration, or over a configuration file of its own.
    std::unique_ptr<MxResolver> Resolver(const std::string& resolvConf = "") {
        if (resolvConf.empty()) return std::make_unique<MxResolver>(MakePlatformDnsSystem(), state);
        const auto path = std::filesystem::temp_directory_path() /
                          ("zankit-dns-" + std::to_string(::getpid()) + "-" + std::to_string(files_.size()));
        std::ofstream(path) << resolvConf;
        files_.push_back(path);
        return std::make_unique<MxResolver>(MakePosixDnsSystem(path.string()), state);
    }
    std::string Query(MxResolver& resolver, const std::string& domain) {
        return resolver.MXQuery(domain, [this](std::string& text) { statuses.push_back(text); });
    }

    DnsModuleState state;
    std::vector<std::string> statuses;

private:
    std::vector<std::filesystem::path> files_;
};

TEST_F(MxQueryEndToEnd, AnswersOfTheNameServer) {
    struct Row {
        const char* what;
        std::string resolvConf;  // "" for the namespace's own
        std::string domain;
        std::string exchanger;
        std::string defaultDomain;
    };
    // clang-format off
    const Row rows[] = {
        {"lowest preference wins", "", " two.example.com ", "mx10.two.example.com", "corp.example.com"},
        {"empty domain asks for the machine's domain", "", "", "mail.corp.example.com", "corp.example.com"},
        {"sub-domain walks up to the base domain", "", "a.b.example.com", "mx.example.com", "corp.example.com"},
        {"without a domain the server's host name gives it", "nameserver 127.0.0.1\n", "", "mail.lab.example.com",
         "lab.example.com"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        state = {};
        statuses.clear();
        const auto resolver = Resolver(row.resolvConf);
        EXPECT_EQ(Query(*resolver, row.domain), row.exchanger);
        EXPECT_EQ(statuses.size(), 1u);  // only "Performing MX Query..."
        EXPECT_EQ(state.dnsServers, (TextList{"127.0.0.1"}));
        EXPECT_EQ(state.defaultDomain, row.defaultDomain);
        EXPECT_EQ(state.baseDomain, "example.com");
    }
}

// A UDP socket bound to address:port in the namespace.
FileDescriptor BoundSocket(std::uint32_t address, std::uint16_t port) {
    FileDescriptor socketFd(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(address);
    if (!socketFd.Valid() || ::bind(socketFd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ADD_FAILURE() << "cannot bind a socket to port " << port << ": " << std::strerror(errno);
    }
    timeval bound{10, 0};  // never wait for ever, whatever the query does
    ::setsockopt(socketFd.Get(), SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    return socketFd;
}

TEST_F(MxQueryEndToEnd, OnlyTheAskedServersAnswerToThisQueryCounts) {
    enum class From { Server, OtherAddress, OtherPort };
    enum class What { Genuine, Forged, ForgedOtherId, QueryEchoed };
    struct Datagram {
        From from;
        What what;
    };
    struct Row {
        const char* what;
        std::vector<Datagram> sent;  // in this order, once the query has arrived
        std::string exchanger;
        std::string lastStatus;
    };
    const std::string domain = "two.example.com";
    const std::string performing = "Performing MX Query, Domain: " + domain;
    const std::string good = "good.two.example.com";
    // clang-format off
    const Row rows[] = {
        {"silent server", {}, "", kMxReceiveProblem},
        {"forged answer from another address first", {{From::OtherAddress, What::Forged}, {From::Server, What::Genuine}},
         good, performing},
        {"forged answer from another port first", {{From::OtherPort, What::Forged}, {From::Server, What::Genuine}},
         good, performing},
        {"answer with another id first", {{From::Server, What::ForgedOtherId}, {From::Server, What::Genuine}},
         good, performing},
        {"the query sent back first", {{From::Server, What::QueryEchoed}, {From::Server, What::Genuine}},
         good, performing},
    };
    // clang-format on

    const std::uint32_t server = 0x7F000002;  // 127.0.0.2
    const FileDescriptor serverSocket = BoundSocket(server, kDnsPort);
    const FileDescriptor otherAddress = BoundSocket(server + 1, kDnsPort);
    const FileDescriptor otherPort = BoundSocket(server, 5353);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::thread peer([&] {
            std::vector<std::uint8_t> query(512);
            sockaddr_in client{};
            socklen_t clientSize = sizeof client;
            const ssize_t received = ::recvfrom(serverSocket.Get(), query.data(), query.size(), 0,
                                                reinterpret_cast<sockaddr*>(&client), &clientSize);
            if (received <= 0) return;
            query.resize(static_cast<std::size_t>(received));
            const int sockets[] = {serverSocket.Get(), otherAddress.Get(), otherPort.Get()};  // by From
            for (const Datagram& datagram : row.sent) {
                DnsBytes bytes = query;  // sent back as it came
                if (datagram.what != What::QueryEchoed) {
                    const bool genuine = datagram.what == What::Genuine;
                    bytes = ReplyBuilder(domain).CompressedMX(10, genuine ? "good" : "evil").Bytes();
                }
                if (datagram.what == What::ForgedOtherId) bytes[1] ^= 1;
                ::sendto(sockets[static_cast<int>(datagram.from)], bytes.data(), bytes.size(), 0,
                         reinterpret_cast<const sockaddr*>(&client), clientSize);
            }
        });
        state = {};
        statuses.clear();
        EXPECT_EQ(Query(*Resolver("nameserver 127.0.0.2\n"), domain), row.exchanger);
        EXPECT_EQ(statuses.back(), row.lastStatus);
        peer.join();
    }
}

}  // namespace
}  // namespace zankit::mail
