#include <gtest/gtest.h>

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
        {"an address above 239 is a name", "240.1.1.1", EchoReply(), false, std::string("240.1.1.1\0", 10), "", "",
         true},
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

}  // namespace
}  // namespace zankit::mail
