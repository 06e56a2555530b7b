#include <gtest/gtest.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "mail/host_utilities.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::ScriptedSystem;

TEST(GetIPAddress, ResolvesTheTrimmedNameAndWritesItBackWithOneNul) {
    ScriptedSystem system;
    system.names["mail.example.com"] = IPv4Bytes{192, 0, 2, 25};
    HostUtilities hosts(system);
    std::string name = "  mail.example.com  ";
    EXPECT_EQ(hosts.GetIPAddress(name), "192.0.2.25");
    EXPECT_EQ(name, std::string("mail.example.com\0", 17));
    EXPECT_EQ(system.resolved.back(), "mail.example.com");
    EXPECT_EQ(system.socketStarts, system.socketStops);
}

TEST(GetIPAddress, EmptyNameAsksForTheLocalHost) {
    ScriptedSystem system;
    system.localName = "myhost";
    system.names["myhost"] = IPv4Bytes{10, 0, 0, 7};
    HostUtilities hosts(system);
    std::string name;
    EXPECT_EQ(hosts.GetIPAddress(name), "10.0.0.7");
    EXPECT_EQ(name, std::string("myhost\0", 7));
}

TEST(GetIPAddress, FailuresGiveEmptyResults) {
    ScriptedSystem system;
    HostUtilities hosts(system);
    std::string name = "nowhere.invalid";
    EXPECT_EQ(hosts.GetIPAddress(name), "");
    system.socketsStart = false;
    EXPECT_EQ(hosts.GetIPHost(), "");
    EXPECT_EQ(system.socketStops, 1);
}

TEST(GetIPAddress, RealResolverKnowsLocalhost) {
    const auto system = MakePlatformMailSystem();
    HostUtilities hosts(*system);
    std::string name = " localhost ";
    EXPECT_EQ(hosts.GetIPAddress(name), "127.0.0.1");
    EXPECT_FALSE(hosts.GetIPHost().empty());
}

TEST(Ping, ReportsTheAnsweringAddressAndData) {
    ScriptedSystem system;
    system.names["host.example.com"] = IPv4Bytes{192, 0, 2, 9};
    system.echoAnswer = [](const IPv4Bytes& to, const std::string& payload) {
        EchoResult reply;
        reply.status = 0;
        reply.roundTripMs = 3;
        reply.replyAddress = to;
        reply.data = payload;
        return reply;
    };
    HostUtilities hosts(system);
    std::string address = "host.example.com";
    std::string roundTrip, dataSize;
    bool dataMatch = false;
    EXPECT_TRUE(hosts.Ping(address, roundTrip, dataSize, dataMatch));
    EXPECT_EQ(address, "192.0.2.9");
    EXPECT_EQ(roundTrip, "3");
    EXPECT_EQ(dataSize, "32 bytes");
    EXPECT_TRUE(dataMatch);
    ASSERT_EQ(system.lastPayload.size(), 32u);
    EXPECT_EQ(system.lastPayload.find('\0'), std::string::npos);
}

TEST(Ping, ReplyFromAnotherAddressOrWithOtherDataIsNotSuccess) {
    ScriptedSystem system;
    system.echoAnswer = [](const IPv4Bytes&, const std::string&) {
        EchoResult reply;
        reply.status = 0;
        reply.replyAddress = IPv4Bytes{10, 9, 9, 9};
        reply.data = "different";
        return reply;
    };
    HostUtilities hosts(system);
    std::string address = "10.0.0.1";
    std::string roundTrip, dataSize;
    bool dataMatch = true;
    EXPECT_FALSE(hosts.Ping(address, roundTrip, dataSize, dataMatch));
    EXPECT_EQ(address, "10.9.9.9");
    EXPECT_FALSE(dataMatch);
}

TEST(Ping, AddressesAbove239AreResolvedAsNames) {
    ScriptedSystem system;
    HostUtilities hosts(system);
    std::string address = "240.1.1.1";
    EXPECT_FALSE(hosts.Ping(address));
    EXPECT_EQ(system.resolved.back(), "240.1.1.1");
    EXPECT_TRUE(system.echoed.empty());
}

TEST(Ping, NoReplyLeavesZeroValuesAndDataMatchUnchanged) {
    ScriptedSystem system;
    HostUtilities hosts(system);
    std::string address = "10.0.0.1";
    std::string roundTrip, dataSize;
    bool dataMatch = true;
    EXPECT_FALSE(hosts.Ping(address, roundTrip, dataSize, dataMatch));
    EXPECT_EQ(address, "0.0.0.0");
    EXPECT_EQ(roundTrip, "0");
    EXPECT_EQ(dataSize, "0 bytes");
    EXPECT_TRUE(dataMatch);
}

// Whether this process may open an ICMP socket of either kind.
bool CanSendEcho() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd < 0) fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

TEST(PingLoopback, LocalHostAnswers) {
    if (!CanSendEcho()) GTEST_SKIP() << "no ICMP socket: not root and ping_group_range excludes us";
    const auto system = MakePlatformMailSystem();
    HostUtilities hosts(*system);
    std::string address = "127.0.0.1";
    std::string roundTrip, dataSize;
    bool dataMatch = false;
    EXPECT_TRUE(hosts.Ping(address, roundTrip, dataSize, dataMatch));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(dataSize, "32 bytes");
    EXPECT_TRUE(dataMatch);
}

// Child side of the unanswered ping: a private network namespace whose loopback ignores echo
// requests, so nothing leaves this machine and no reply comes. Exit codes: 0 pass, 1 fail,
// 77 namespace not available.
int PingInSilentNamespace() {
    if (::unshare(CLONE_NEWNET) != 0) return 77;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return 77;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    const bool up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    if (!up) return 77;
    {
        std::ofstream ignore("/proc/sys/net/ipv4/icmp_echo_ignore_all");
        ignore << "1\n";
        ignore.flush();
        if (!ignore) return 77;
    }
    if (!CanSendEcho()) return 77;
    const auto system = MakePlatformMailSystem();
    HostUtilities hosts(*system);
    std::string address = "127.0.0.1";
    std::string roundTrip, dataSize;
    bool dataMatch = false;
    const bool answered = hosts.Ping(address, roundTrip, dataSize, dataMatch);
    const bool ok = !answered && address == "0.0.0.0" && roundTrip == "0" && dataSize == "0 bytes";
    return ok ? 0 : 1;
}

TEST(PingLoopback, UnansweredEchoGivesFalseAndZeroBytes) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(PingInSilentNamespace());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "cannot make a private network namespace with a silent loopback "
                        "(needs CAP_SYS_ADMIN and CAP_NET_ADMIN)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "ping in the silent namespace did not fail cleanly";
}

}  // namespace
}  // namespace zankit::mail
