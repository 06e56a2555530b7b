// Connect, Send and Disconnect of clsSendMail through COM under Wine, with the events caught
// by a C++ sink as a VB host with WithEvents sees them: against a real SMTP server on loopback
// (ZANKIT_SMTP_PORT, its spool ZANKIT_SMTP_SPOOL), an unused port (ZANKIT_SMTP_CLOSED_PORT)
// and the scripted peer's misbehaving servers (ZANKIT_SCRIPTED_DIR), all exported by
// tests/wine/run_host_tests.sh. Without them the tests are skipped.
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

long PortFrom(const char* name) {
    const char* port = std::getenv(name);
    return port ? std::atol(port) : 0;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The newest message the sink kept, or "" when none.
std::string NewestMessage() {
    const char* spool = std::getenv("ZANKIT_SMTP_SPOOL");
    if (!spool) return {};
    int newest = 0;
    for (const auto& entry : std::filesystem::directory_iterator(spool)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("message-", 0) == 0) newest = std::max(newest, std::stoi(name.substr(8)));
    }
    return newest ? ReadAll(std::filesystem::path(spool) / ("message-" + std::to_string(newest) + ".eml")) : "";
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
    const long port = PortFrom("ZANKIT_SMTP_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    TempFile file(L"zankit send test.bin", 600 * 1024);
    SendingMail mail(port);
    ASSERT_NE(mail.cookie, 0u);
    Put(mail.mail.Get(), L"Attachment", Arg::Text(file.path.wstring()));
    Put(mail.mail.Get(), L"Message", Arg::Text(L"Line one\nLine two"));

    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
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
    // The getter answers what the setter stored.
    EXPECT_EQ(Get(mail.mail.Get(), L"Message").Text(), L"Line one\nLine two");
}

TEST(MailSend, ConnectThenTwoSendsKeepTheSession) {
    const long port = PortFrom("ZANKIT_SMTP_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    SendingMail mail(port);
    EXPECT_EQ(Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {}).Flag(), 1);
    EXPECT_EQ(Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {}).Flag(), 1);
    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(Call(mail.mail.Get(), L"Disconnect", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(mail.Count(L"Status: Initializing Communications..."), 1);
    EXPECT_EQ(mail.Count(L"SendSuccesful"), 2);
    EXPECT_EQ(mail.Texts().back(), L"Status: Closing Connection...");
}

TEST(MailSend, ARefusedConnectionIsReportedOnceAndNeverRaised) {
    const long port = PortFrom("ZANKIT_SMTP_CLOSED_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_CLOSED_PORT is not set";
    SendingMail mail(port);
    CallResult connected = Call(mail.mail.Get(), L"Connect", DISPATCH_METHOD, {});
    EXPECT_EQ(connected.hr, S_OK);
    EXPECT_EQ(connected.Flag(), 0);
    EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(mail.Count(L"SendFailed: "), 2);
    EXPECT_EQ(mail.Count(L"SendSuccesful"), 0);
}

// A host may change what is being sent, or drop its last reference, inside any event: the
// send goes on with what it started with, and nothing crashes.
TEST(MailSend, HostsChangingTheObjectInsideEvents) {
    const long port = PortFrom("ZANKIT_SMTP_PORT");
    const long closed = PortFrom("ZANKIT_SMTP_CLOSED_PORT");
    if (port == 0 || closed == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    TempFile file(L"zankit reentrant.bin", 100 * 1024);
    enum Change { kAttachment, kRecipient, kRelease };
    for (DISPID event : {kStatus, kProgress, kSendFailed}) {
        for (Change change : {kAttachment, kRecipient, kRelease}) {
            SCOPED_TRACE("event " + std::to_string(event) + " change " + std::to_string(change));
            const bool failing = event == kSendFailed;
            SendingMail mail(failing ? closed : port);
            Put(mail.mail.Get(), L"Attachment", Arg::Text(file.path.wstring()));
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

TEST(MailSend, AnAttachmentThatCannotBeOpenedSaysSo) {
    const long port = PortFrom("ZANKIT_SMTP_PORT");
    if (port == 0) GTEST_SKIP() << "ZANKIT_SMTP_PORT is not set";
    TempFile file(L"zankit locked.bin", 1000);
    SendingMail mail(port);
    Put(mail.mail.Get(), L"Attachment", Arg::Text(file.path.wstring()));
    // Another program holds the file open without sharing it.
    const HANDLE locked = CreateFileW(file.path.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {});
    CloseHandle(locked);
    EXPECT_EQ(mail.Count(L"SendFailed: Permission denied\r\n"), 1);
    EXPECT_EQ(mail.Count(L"SendSuccesful"), 0);
}

// A representative part of the fault matrix, run through COM: what the host sees, and that
// no credential leaves. The whole matrix runs natively against the same peer.
TEST(MailSend, MisbehavingServers) {
    const char* dir = std::getenv("ZANKIT_SCRIPTED_DIR");
    if (!dir) GTEST_SKIP() << "ZANKIT_SCRIPTED_DIR is not set";
    std::map<std::string, long> ports;
    std::istringstream lines(ReadAll(std::filesystem::path(dir) / "ports"));
    std::string name, host;
    long port = 0;
    while (lines >> name >> host >> port) ports[name] = port;
    const std::wstring secret = L"matrix-Secret-4711";
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
        Put(mail.mail.Get(), L"MessageTimeout", Arg::Long(2));
        Put(mail.mail.Get(), L"Recipient", Arg::Text(L"first@example.com;refused@example.com"));
        Put(mail.mail.Get(), L"UseAuthentication", Arg::Bool(row.auth));
        Put(mail.mail.Get(), L"Username", Arg::Text(L"someone"));
        Put(mail.mail.Get(), L"Password", Arg::Text(secret));
        if (row.attachment) Put(mail.mail.Get(), L"Attachment", Arg::Text(big.path.wstring()));
        EXPECT_EQ(Call(mail.mail.Get(), L"Send", DISPATCH_METHOD, {}).hr, S_OK);
        if (row.failure) {
            EXPECT_GE(mail.Count(std::wstring(L"SendFailed: ") + row.failure), 1);
            EXPECT_EQ(mail.Count(L"SendSuccesful"), 0);
        } else {
            EXPECT_EQ(mail.Count(L"SendSuccesful"), 1);
        }
        const std::string received = ReadAll(logPath).substr(logStart);
        // The password goes out once, answering the client's own AUTH LOGIN, never in plain text.
        const std::string encoded = "bWF0cml4LVNlY3JldC00NzEx";
        const std::size_t first = received.find(encoded);
        EXPECT_EQ(first != std::string::npos, row.auth);
        if (first != std::string::npos) EXPECT_EQ(received.find(encoded, first + 1), std::string::npos);
        EXPECT_EQ(received.find("matrix-Secret-4711"), std::string::npos);
    }
}
