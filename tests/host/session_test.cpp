// Connect and Disconnect of clsSendMail through COM against a real SMTP server on loopback,
// with the events caught by a C++ sink. tests/wine/run_host_tests.sh starts the server and
// exports its port as ZANKIT_SMTP_PORT (and an unused one as ZANKIT_SMTP_CLOSED_PORT); without
// them the tests are skipped.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

constexpr DISPID kSendFailed = 2;
constexpr DISPID kStatus = 3;

struct SinkedMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    SinkedMail() {
        ComPtr<IConnectionPointContainer> container;
        if (mail && SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
            SUCCEEDED(container->FindConnectionPoint(DIID___clsSendMail, point.Put()))) {
            point->Advise(sink.Get(), &cookie);
        }
    }
    ~SinkedMail() {
        if (point && cookie) point->Unadvise(cookie);
    }
    void AimAt(long port) {
        Put(mail.Get(), L"SMTPHostValidation", Arg::Long(1));
        Put(mail.Get(), L"SMTPHost", Arg::Text(L"127.0.0.1"));
        Put(mail.Get(), L"SMTPPort", Arg::Long(port));
        Put(mail.Get(), L"from", Arg::Text(L"sender@example.com"));
        Put(mail.Get(), L"ConnectTimeout", Arg::Long(5));
        Put(mail.Get(), L"ConnectRetry", Arg::Long(1));
    }
    // "Status: text" or "SendFailed: text" per event, in order.
    std::vector<std::wstring> Seen() const {
        std::vector<std::wstring> seen;
        for (const auto& event : sink->events) {
            if (event.id == kStatus)
                seen.push_back(L"Status: " + event.text);
            else if (event.id == kSendFailed)
                seen.push_back(L"SendFailed: " + event.text);
            else
                seen.push_back(L"event " + std::to_wstring(event.id));
        }
        return seen;
    }
};

long PortFromEnvironment(const char* name) {
    const char* port = std::getenv(name);
    return port ? std::atol(port) : 0;
}

}  // namespace

TEST(MailSession, ConnectThenDisconnectRaisesTheStatusTextsInOrder) {
    const long port = PortFromEnvironment("ZANKIT_SMTP_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    SinkedMail mail;
    ASSERT_TRUE(mail.mail);
    ASSERT_NE(mail.cookie, 0u);
    mail.AimAt(port);

    CallResult connected = Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {});
    EXPECT_EQ(connected.hr, S_OK);
    EXPECT_EQ(connected.Flag(), 1);
    // A second Connect reuses the open session without events.
    EXPECT_EQ(Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {}).Flag(), 1);
    EXPECT_EQ(Call(mail.mail.Get(), L"Disconnect", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(mail.Seen(),
              (std::vector<std::wstring>{L"Status: Connecting to SMTP Server (127.0.0.1)...",
                                         L"Status: Initializing Communications...", L"Status: Closing Connection..."}));
}

TEST(MailSession, ARefusedConnectionIsReportedOnce) {
    // A loopback port the runner found free and left unused.
    const long port = PortFromEnvironment("ZANKIT_SMTP_CLOSED_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_CLOSED_PORT is not set";
    SinkedMail mail;
    mail.AimAt(port);
    CallResult connected = Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {});
    EXPECT_EQ(connected.hr, S_OK);
    EXPECT_EQ(connected.Flag(), 0);
    const auto seen = mail.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], L"Status: Connecting to SMTP Server (127.0.0.1)...");
    EXPECT_EQ(seen[1].rfind(L"SendFailed: ", 0), 0u);
    EXPECT_GT(seen[1].size(), std::wstring(L"SendFailed: \r\n").size());
    EXPECT_EQ(seen[2], L"Status: Closing Connection...");
    // Disconnect with nothing open raises nothing.
    EXPECT_EQ(Call(mail.mail.Get(), L"Disconnect", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(mail.Seen().size(), 3u);
}
