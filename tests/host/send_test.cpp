// Connect, Send and Disconnect of clsSendMail through COM under Wine, with the events caught by
// a C++ sink as a VB host with WithEvents sees them: against a real SMTP server on loopback
// (ZANKIT_SMTP_PORT, its spool ZANKIT_SMTP_SPOOL), an unused port (ZANKIT_SMTP_CLOSED_PORT)
// and the scripted peer's misbehaving servers (ZANKIT_SCRIPTED_DIR), all exported by
// tests/wine/run_host_tests.sh.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
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

// A mail object with a sink advised on its events, aimed at 127.0.0.1:port.
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
        Set(L"SMTPHostValidation", Arg::Long(1));
        Set(L"SMTPHost", Arg::Text(L"127.0.0.1"));
        Set(L"SMTPPort", Arg::Long(port));
        Set(L"ConnectTimeout", Arg::Long(5));
        Set(L"ConnectRetry", Arg::Long(1));
        Set(L"MessageTimeout", Arg::Long(20));
        Set(L"from", Arg::Text(L"sender@example.com"));
        Set(L"Recipient", Arg::Text(L"you@example.com"));
        Set(L"Subject", Arg::Text(L"Gr\u00FC\u00DFe"));
    }
    ~SendingMail() {
        if (point && cookie) point->Unadvise(cookie);
    }
    void Set(const wchar_t* name, const Arg& value) { Put(mail.Get(), name, value); }
    CallResult Do(const wchar_t* method) { return Call(mail.Get(), method, DISPATCH_METHOD, {}); }
    // Every event but Progress, in order.
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> seen;
        for (const auto& event : sink->events) {
            if (event.id == kStatus) seen.push_back(L"Status: " + event.text);
            if (event.id == kSendFailed) seen.push_back(L"SendFailed: " + event.text);
            if (event.id == kSendSuccesful) seen.push_back(L"SendSuccesful");
        }
        return seen;
    }
    long Count(const std::wstring& prefix) const {
        const auto texts = Texts();
        return static_cast<long>(
            std::count_if(texts.begin(), texts.end(), [&](const std::wstring& t) { return t.rfind(prefix, 0) == 0; }));
    }
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A file of size bytes in the temporary folder, removed with the object.
struct TempFile {
    std::filesystem::path path;
    TempFile(const wchar_t* name, std::size_t size) : path(std::filesystem::temp_directory_path() / name) {
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 131) & 0xFF));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

class MailSend : public testing::Test {
protected:
    void SetUp() override {
        const char* port = std::getenv("ZANKIT_SMTP_PORT");
        const char* closed = std::getenv("ZANKIT_SMTP_CLOSED_PORT");
        const char* spool = std::getenv("ZANKIT_SMTP_SPOOL");
        if (!port || !closed || !spool) GTEST_SKIP() << "the SMTP sink is not running";
        port_ = std::atol(port);
        closed_ = std::atol(closed);
        spool_ = spool;
    }

    // The newest message the sink kept, or "" when none.
    std::string NewestMessage() const {
        int newest = 0;
        for (const auto& entry : std::filesystem::directory_iterator(spool_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("message-", 0) == 0) newest = std::max(newest, std::stoi(name.substr(8)));
        }
        return newest ? ReadAll(spool_ / ("message-" + std::to_string(newest) + ".eml")) : "";
    }

    long port_ = 0;
    long closed_ = 0;
    std::filesystem::path spool_;
};

}  // namespace

TEST_F(MailSend, EventsInOrderAndProgressRisingTo100) {
    TempFile file(L"zankit send test.bin", 600 * 1024);
    SendingMail mail(port_);
    ASSERT_NE(mail.cookie, 0u);
    mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
    mail.Set(L"Message", Arg::Text(L"Line one\nLine two"));

    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    EXPECT_EQ(mail.Texts(),
              (std::vector<std::wstring>{
                  L"Status: Connecting to SMTP Server (127.0.0.1)...", L"Status: Initializing Communications...",
                  L"Status: Sending Sender Information...", L"Status: Sending Recipient Information...",
                  L"Status: Sending Message...", L"Status: Sending Attachment, zankit send test.bin...",
                  L"Status: Transmission Complete...", L"Status: Closing Connection...", L"SendSuccesful"}));
    std::vector<long> percents;
    for (const auto& event : mail.sink->events) {
        if (event.id == kProgress) percents.push_back(event.number);
    }
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(MailSend, ConnectThenTwoSendsKeepTheSession) {
    SendingMail mail(port_);
    EXPECT_EQ(mail.Do(L"Connect").Flag(), 1);
    EXPECT_EQ(mail.Do(L"Connect").Flag(), 1);
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    EXPECT_EQ(mail.Do(L"Disconnect").hr, S_OK);
    EXPECT_EQ(mail.Count(L"Status: Initializing Communications..."), 1);
    EXPECT_EQ(mail.Count(L"SendSuccesful"), 2);
    EXPECT_EQ(mail.Texts().back(), L"Status: Closing Connection...");
}

// Refusals are events, never raised errors: a refused connection once per call, and a refused
// Send names every pending message once.
TEST_F(MailSend, RefusalsAreEventsNeverErrors) {
    SendingMail closed(closed_);
    CallResult connected = closed.Do(L"Connect");
    EXPECT_EQ(connected.hr, S_OK);
    EXPECT_EQ(connected.Flag(), 0);
    EXPECT_EQ(closed.Do(L"Send").hr, S_OK);
    EXPECT_EQ(closed.Count(L"SendFailed: "), 2);
    EXPECT_EQ(closed.Count(L"SendSuccesful"), 0);

    SendingMail invalid(port_);
    invalid.Set(L"Recipient", Arg::Text(L"nobody"));
    invalid.Set(L"SMTPPort", Arg::Long(0));
    invalid.Set(L"from", Arg::Text(L""));
    EXPECT_EQ(invalid.Do(L"Send").hr, S_OK);
    invalid.Set(L"SMTPPort", Arg::Long(port_));
    invalid.Set(L"Recipient", Arg::Text(L""));
    invalid.Set(L"from", Arg::Text(L"me@example.com"));
    invalid.Do(L"Send");
    EXPECT_EQ(invalid.Texts(), (std::vector<std::wstring>{
                                   L"SendFailed: Missing or Invalid Recipient E-mail Address\r\nInvalid Remote Port\r\n"
                                   L"Missing or Invalid Sender E-mail Address\r\n",
                                   L"SendFailed: No Recipient E-mail Address Specified\r\n"}));
}

// A host may change what is being sent, or drop its last reference, inside any event: the
// send goes on with what it started with, and nothing crashes.
TEST_F(MailSend, HostsChangingTheObjectInsideEvents) {
    TempFile file(L"zankit reentrant.bin", 100 * 1024);
    enum Change { kAttachment, kRecipient, kRelease };
    for (DISPID event : {kStatus, kProgress, kSendFailed}) {
        for (Change change : {kAttachment, kRecipient, kRelease}) {
            SCOPED_TRACE("event " + std::to_string(event) + " change " + std::to_string(change));
            const bool failing = event == kSendFailed;
            SendingMail mail(failing ? closed_ : port_);
            mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
            IDispatch* object = mail.mail.Get();
            bool changed = false;
            mail.sink->onEvent = [&](const MailEventSink::Event& e) {
                if (e.id != event || changed) return;
                changed = true;
                if (change == kAttachment) Put(object, L"Attachment", Arg::Text(L""));
                if (change == kRecipient) Put(object, L"Recipient", Arg::Text(L"changed@example.com"));
                if (change == kRelease) {
                    mail.point->Unadvise(mail.cookie);
                    mail.cookie = 0;
                    mail.mail.Reset();
                }
            };
            EXPECT_EQ(Call(object, L"Send", DISPATCH_METHOD, {}).hr, S_OK);
            EXPECT_TRUE(changed);
            if (failing) continue;
            if (change != kRelease) EXPECT_EQ(mail.Count(L"SendSuccesful"), 1);
            const std::string message = NewestMessage();
            EXPECT_NE(message.find("filename=\"zankit reentrant.bin\""), std::string::npos);
            EXPECT_NE(message.find("To: \"you@example.com\""), std::string::npos);
        }
    }
}

TEST_F(MailSend, AnAttachmentThatCannotBeOpenedSaysSo) {
    TempFile file(L"zankit locked.bin", 1000);
    SendingMail mail(port_);
    mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
    // Another program holds the file open without sharing it.
    const HANDLE locked = CreateFileW(file.path.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    mail.Do(L"Send");
    CloseHandle(locked);
    EXPECT_EQ(mail.Count(L"SendFailed: Permission denied\r\n"), 1);
    EXPECT_EQ(mail.Count(L"SendSuccesful"), 0);
}

// A representative part of the fault matrix, run through COM: what the host sees, and that no
// credential leaves. The whole matrix runs natively against the same peer.
TEST_F(MailSend, MisbehavingServers) {
    const char* dir = std::getenv("ZANKIT_SCRIPTED_DIR");
    ASSERT_NE(dir, nullptr) << "the scripted peer is not running";
    std::map<std::string, long> ports;
    std::istringstream lines(ReadAll(std::filesystem::path(dir) / "ports"));
    std::string name, host;
    long port = 0;
    while (lines >> name >> host >> port) ports[name] = port;
    struct Row {
        const char* scenario;
        bool auth;
        const wchar_t* failure;  // start of the SendFailed text; nullptr for a successful send
        bool attachment;
    };
    const Row rows[] = {
        {"ok", false, nullptr, false},
        {"greeting-421", false, L"421 4.3.2 Try later", false},
        {"refuse-rcpt", false, L"550 5.1.1 Recipient refused", false},
        {"prompt-after-mail", true, L"Unexpected answer from the server", false},
        {"endless-ehlo", false, L"The server's reply is too long", false},
        {"stall-in-data", false, L"Timeout occurred", true},
    };
    TempFile big(L"zankit stalled.bin", 8 * 1024 * 1024);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        ASSERT_TRUE(ports.count(row.scenario));
        const std::filesystem::path logPath = std::filesystem::path(dir) / (std::string(row.scenario) + ".log");
        const std::size_t logStart = ReadAll(logPath).size();
        SendingMail mail(ports[row.scenario]);
        mail.Set(L"MessageTimeout", Arg::Long(2));
        mail.Set(L"Recipient", Arg::Text(L"first@example.com;refused@example.com"));
        mail.Set(L"UseAuthentication", Arg::Bool(row.auth));
        mail.Set(L"Username", Arg::Text(L"someone"));
        mail.Set(L"Password", Arg::Text(L"matrix-Secret-4711"));
        if (row.attachment) mail.Set(L"Attachment", Arg::Text(big.path.wstring()));
        EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
        EXPECT_EQ(mail.Count(L"SendSuccesful"), row.failure ? 0 : 1);
        if (row.failure) EXPECT_GE(mail.Count(std::wstring(L"SendFailed: ") + row.failure), 1);
        const std::string received = ReadAll(logPath).substr(logStart);
        // The password goes out once, answering the client's own AUTH LOGIN, never in plain text.
        const std::string encoded = "bWF0cml4LVNlY3JldC00NzEx";
        const std::size_t first = received.find(encoded);
        EXPECT_EQ(first != std::string::npos, row.auth);
        if (first != std::string::npos) EXPECT_EQ(received.find(encoded, first + 1), std::string::npos);
        EXPECT_EQ(received.find("matrix-Secret-4711"), std::string::npos);
    }
}
