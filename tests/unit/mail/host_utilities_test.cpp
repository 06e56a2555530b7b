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
#include <functional>

#include "mail/host_utilities.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::EchoReply;
using testing::ScriptedSystem;

TEST(GetIPAddress, NamesAreTrimmedAndWrittenBackWithOneNul) {
    ScriptedSystem system;
    system.names = {{"mail.example.com", {192, 0, 2, 25}}, {"myhost", {10, 0, 0, 7}}};
    system.localName = "myhost";
    HostUtilities hosts(system);
    const struct {
        std::string name;
        std::string address;
        std::string writtenBack;
    } rows[] = {
        {"  mail.example.com  ", "192.0.2.25", std::string("mail.example.com\0", 17)},
        {"", "10.0.0.7", std::string("myhost\0", 7)},  // the local host
        {"nowhere.invalid", "", std::string("nowhere.invalid\0", 16)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string name = row.name;
        EXPECT_EQ(hosts.GetIPAddress(name), row.address);
        EXPECT_EQ(name, row.writtenBack);
        EXPECT_EQ(system.socketStarts, system.socketStops);
    }
    system.socketsStart = false;
    EXPECT_EQ(hosts.GetIPHost(), "");
    EXPECT_EQ(system.socketStarts, system.socketStops + 1);  // nothing to stop after a failed start

    const auto real = MakePlatformMailSystem();
    HostUtilities realHosts(*real);
    std::string localhost = " localhost ";
    EXPECT_EQ(realHosts.GetIPAddress(localhost), "127.0.0.1");
    EXPECT_FALSE(realHosts.GetIPHost().empty());
}

TEST(Ping, ScriptedEchoes) {
    const struct {
        const char* what;
        std::string address;
        std::function<EchoResult(const IPv4Bytes&, const std::string&)> answer;  // empty: no reply
        bool result;
        std::string addressAfter;
        std::string roundTrip;
        std::string dataSize;
        bool dataMatch;  // true before the call
    } rows[] = {
        {"reply with the data sent", "host.example.com", EchoReply(), true, "192.0.2.9", "3", "32 bytes", true},
        {"reply from another address with other data", "10.0.0.1", EchoReply({10, 9, 9, 9}, "different"), false,
         "10.9.9.9", "3", "9 bytes", false},
        {"no reply", "10.0.0.1", nullptr, false, "0.0.0.0", "0", "0 bytes", true},
        {"an address above 239 is a name", "240.1.1.1", EchoReply(), false, std::string("240.1.1.1\0", 10), "", "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedSystem system;
        system.names["host.example.com"] = IPv4Bytes{192, 0, 2, 9};
        system.echoAnswer = row.answer;
        HostUtilities hosts(system);
        std::string address = row.address;
        std::string roundTrip;
        std::string dataSize;
        bool dataMatch = true;
        EXPECT_EQ(hosts.Ping(address, roundTrip, dataSize, dataMatch), row.result);
        EXPECT_EQ(address, row.addressAfter);
        EXPECT_EQ(roundTrip, row.roundTrip);
        EXPECT_EQ(dataSize, row.dataSize);
        EXPECT_EQ(dataMatch, row.dataMatch);
        if (!system.echoed.empty()) {
            EXPECT_EQ(system.lastPayload.size(), 32u);
            EXPECT_EQ(system.lastPayload.find('\0'), std::string::npos);
        }
    }
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
