// Send of clsSendMail through COM against a real SMTP server on loopback, with the events
// caught by a C++ sink, as a VB host with WithEvents sees them. tests/wine/run_host_tests.sh
// starts the server and exports its port as ZANKIT_SMTP_PORT (and its spool folder as
// ZANKIT_SMTP_SPOOL); without the port the tests are skipped.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

constexpr DISPID kSendSuccesful = 1;
constexpr DISPID kSendFailed = 2;
constexpr DISPID kStatus = 3;
constexpr DISPID kProgress = 4;

struct SendingMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;

    explicit SendingMail(long port) {
        ComPtr<IConnectionPointContainer> container;
        if (mail && SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
            SUCCEEDED(container->FindConnectionPoint(DIID___clsSendMail, point.Put()))) {
            point->Advise(sink.Get(), &cookie);
        }
        Put(mail.Get(), L"SMTPHostValidation", Arg::Long(1));
        Put(mail.Get(), L"SMTPHost", Arg::Text(L"127.0.0.1"));
        Put(mail.Get(), L"SMTPPort", Arg::Long(port));
        Put(mail.Get(), L"ConnectTimeout", Arg::Long(5));
        Put(mail.Get(), L"ConnectRetry", Arg::Long(1));
        Put(mail.Get(), L"MessageTimeout", Arg::Long(20));
        Put(mail.Get(), L"from", Arg::Text(L"sender@example.com"));
        Put(mail.Get(), L"Recipient", Arg::Text(L"you@example.com"));
        Put(mail.Get(), L"Subject", Arg::Text(L"Gr\u00FC\u00DFe"));
    }
    ~SendingMail() {
        if (point && cookie) point->Unadvise(cookie);
    }
    // Every event but Progress, in order.
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> seen;
        for (const auto& event : sink->events) {
            if (event.id == kStatus)
                seen.push_back(L"Status: " + event.text);
            else if (event.id == kSendFailed)
                seen.push_back(L"SendFailed: " + event.text);
            else if (event.id == kSendSuccesful)
                seen.push_back(L"SendSuccesful");
        }
        return seen;
    }
    std::vector<long> Percents() const {
        std::vector<long> percents;
        for (const auto& event : sink->events) {
            if (event.id == kProgress) percents.push_back(event.number);
        }
        return percents;
    }
};

long PortFromEnvironment() {
    const char* port = std::getenv("ZANKIT_SMTP_PORT");
    return port ? std::atol(port) : 0;
}

// A file of size bytes in the temporary folder, removed with the object.
struct TempFile {
    std::filesystem::path path;
    TempFile(const wchar_t* name, std::size_t size) {
        path = std::filesystem::temp_directory_path() / name;
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 131) & 0xFF));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

}  // namespace

TEST(MailSend, EventsInOrderAndProgressRisingTo100) {
    const long port = PortFromEnvironment();
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    TempFile file(L"zankit send test.bin", 600 * 1024);
    SendingMail mail(port);
    ASSERT_TRUE(mail.mail);
    ASSERT_NE(mail.cookie, 0u);
    Put(mail.mail.Get(), L"Attachment", Arg::Text(file.path.wstring()));
    Put(mail.mail.Get(), L"Message", Arg::Text(L"Line one\nLine two"));

    CallResult sent = Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {});
    EXPECT_EQ(sent.hr, S_OK);
    EXPECT_EQ(mail.Texts(),
              (std::vector<std::wstring>{
                  L"Status: Connecting to SMTP Server (127.0.0.1)...", L"Status: Initializing Communications...",
                  L"Status: Sending Sender Information...", L"Status: Sending Recipient Information...",
                  L"Status: Sending Message...", L"Status: Sending Attachment, zankit send test.bin...",
                  L"Status: Transmission Complete...", L"Status: Closing Connection...", L"SendSuccesful"}));
    const auto percents = mail.Percents();
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    // Progress(100) comes right before "Transmission Complete...".
    const auto& events = mail.sink->events;
    const auto complete = std::find_if(events.begin(), events.end(), [](const MailEventSink::Event& e) {
        return e.id == kStatus && e.text == L"Transmission Complete...";
    });
    ASSERT_NE(complete, events.begin());
    EXPECT_EQ(std::prev(complete)->id, kProgress);
    EXPECT_EQ(std::prev(complete)->number, 100);
    // The getter still answers what the setter stored.
    EXPECT_EQ(Get(mail.mail.Get(), L"Message").Text(), L"Line one\nLine two");
}

TEST(MailSend, ConnectThenTwoSendsKeepTheSession) {
    const long port = PortFromEnvironment();
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    SendingMail mail(port);
    EXPECT_EQ(Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {}).Flag(), 1);
    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(Call(mail.mail.Get(), L"Disconnect", DISPATCH_METHOD, {}).hr, S_OK);
    const auto texts = mail.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"Status: Initializing Communications..."), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"SendSuccesful"), 2);
    EXPECT_EQ(texts.back(), L"Status: Closing Connection...");
}

TEST(MailSend, AFailureReachesTheHostOnlyAsAnEvent) {
    // A loopback port the runner found free and left unused.
    const char* closed = std::getenv("ZANKIT_SMTP_CLOSED_PORT");
    if (!closed) GTEST_SKIP() << "ZANKIT_SMTP_CLOSED_PORT is not set";
    SendingMail mail(std::atol(closed));
    CallResult sent = Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {});
    EXPECT_EQ(sent.hr, S_OK);
    const auto texts = mail.Texts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::wstring& t) { return t.rfind(L"SendFailed: ", 0) == 0; }),
              1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"SendSuccesful"), 0);
}
