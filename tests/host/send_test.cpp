// Connect and Send of clsSendMail through COM under Wine, with the events caught by a C++ sink
// as a VB host with WithEvents sees them: against a real SMTP server on loopback
// (ZANKIT_SMTP_PORT, its spool ZANKIT_SMTP_SPOOL) and the scripted peer's hostile and broken
// SMTP and POP3 servers (ZANKIT_SCRIPTED_DIR), all started by tests/wine/run_host_tests.sh.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sending_mail.h"

using namespace hosttest;

namespace {

std::string Environment(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }

// A file of size bytes in the temporary folder, removed with the object.
struct TempFile {
    std::filesystem::path path;
    TempFile(const wchar_t* name, std::size_t size) : path(std::filesystem::temp_directory_path() / name) {
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 131) & 0xFF));
    }
    ~TempFile() { std::filesystem::remove(path, ignored); }
    std::error_code ignored;
};

// The sink's port and the newest message it kept (message-N.eml in its spool, N counting from 1).
const long kSinkPort = std::atol(Environment("ZANKIT_SMTP_PORT").c_str());
std::string NewestMessage() {
    const std::filesystem::path spool = Environment("ZANKIT_SMTP_SPOOL");
    const std::filesystem::directory_iterator files(spool);
    const auto count =
        std::count_if(begin(files), end(files), [](const auto& e) { return e.path().extension() == ".eml"; });
    return ReadBytes(spool / ("message-" + std::to_string(count) + ".eml"));
}

}  // namespace

// A session opened by Connect carries two messages; progress rises to 100 for each.
TEST(MailSend, ConnectTwoSendsAndDisconnect) {
    ASSERT_TRUE(kSinkPort && !Environment("ZANKIT_SMTP_SPOOL").empty()) << "the SMTP sink is not running";
    TempFile file(L"zankit send test.bin", 600 * 1024);
    SendingMail mail(kSinkPort);
    ASSERT_NE(mail.cookie, 0u);
    mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
    mail.Set(L"Subject", Arg::Text(L"Gr\u00FC\u00DFe"));
    EXPECT_EQ(mail.Do(L"Connect").Flag(), 1);
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    EXPECT_EQ(mail.Do(L"Disconnect").hr, S_OK);
    std::vector<std::wstring> expected{L"Status: Connecting to SMTP Server (127.0.0.1)...",
                                       L"Status: Initializing Communications..."};
    for (int send = 0; send < 2; ++send) {
        expected.insert(expected.end(),
                        {L"Status: Sending Sender Information...", L"Status: Sending Recipient Information...",
                         L"Status: Sending Message...", L"Status: Sending Attachment, zankit send test.bin...",
                         L"Status: Transmission Complete...", L"SendSuccesful"});
    }
    expected.push_back(L"Status: Closing Connection...");
    EXPECT_EQ(mail.Texts(), expected);
    std::vector<long> percents;
    for (const auto& event : mail.sink->events) {
        if (event.id == kProgress) percents.push_back(event.number);
    }
    int restarts = 0;  // rising to 100 in each of the two sends
    for (std::size_t i = 1; i < percents.size(); ++i) restarts += percents[i] < percents[i - 1];
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_NE(NewestMessage().find("Subject: =?UTF-8?B?R3LDvMOfZQ==?="), std::string::npos);
}

// A host may change what is being sent, or drop its last reference, inside any event: the
// send goes on with what it started with, and nothing crashes.
TEST(MailSend, HostsChangingTheObjectInsideEvents) {
    TempFile file(L"zankit reentrant.bin", 100 * 1024);
    enum Change { kAttachment, kRecipient, kRelease };
    for (DISPID event : {kStatus, kProgress, kSendFailed}) {
        for (Change change : {kAttachment, kRecipient, kRelease}) {
            SCOPED_TRACE("event " + std::to_string(event) + " change " + std::to_string(change));
            const bool failing = event == kSendFailed;
            SendingMail mail(kSinkPort);
            mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
            if (failing) mail.Set(L"Recipient", Arg::Text(L"nobody"));
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
            EXPECT_TRUE(change == kRelease || mail.Count(L"SendSuccesful") == 1);
            const std::string message = NewestMessage();
            EXPECT_NE(message.find("filename=\"zankit reentrant.bin\""), std::string::npos);
            EXPECT_NE(message.find("To: \"you@example.com\""), std::string::npos);
        }
    }
}

namespace {

// The scripted peer's hostile and broken servers, one row per behaviour: what the host must
// see and what must not happen (a credential sent, bytes after a refusal, a missing QUIT).
enum Setup { kPlain, kAuth, kPop3, kBigFile, kUUFile, kMissingFile, kLockedFile };  // from kBigFile on: an attachment

struct FaultRow {
    const char* scenario;  // the scripted behaviour, by name
    Setup setup;
    const wchar_t* failure;  // inside a SendFailed text; nullptr: the mail is sent
    bool loginFailed;        // "Host Login Failed!" once, a SendFailed only when failure is not ""
    const char* beforeQuit;  // the peer saw nothing but QUIT after this ("": QUIT last; nullptr: no QUIT)
    int secretSent = 0;      // times the password went out, plain or in base64
    const char* last = nullptr;  // the peer's log ends with this, when the row tells
};

const wchar_t kTimeout[] = L"Timeout occurred: The SMTP Host did not respond to the request";
const wchar_t kUnexpected[] = L"Unexpected answer from the server";
const wchar_t kClosing[] = L"421 4.3.0 Closing";
const char kMail[] = "MAIL FROM: <sender@example.com>\r\n";

const FaultRow kFaultRows[] = {
    {"ok", kPlain, nullptr, false, ""},
    {"silent", kPlain, kTimeout, false, ""},
    {"drop-at-connect", kPlain, kTimeout, false, nullptr},
    {"drop-at-helo", kPlain, kTimeout, false, nullptr},
    {"drop-at-auth", kAuth, L"", true, nullptr},
    {"drop-at-quit", kPlain, nullptr, false, ""},
    {"greeting-554", kPlain, L"554 5.3.2 No service for you", false, ""},
    {"one-byte", kAuth, nullptr, false, "", 1},
    {"joined", kPlain, L"550 5.1.0 Sender refused after all", false, ""},
    {"mixed-codes", kPlain, L"550 5.1.0 but refused", false, kMail},
    // The first prompt after AUTH LOGIN takes the user name, whatever it asks.
    {"odd-prompt", kAuth, L"535 5.7.8 Unexpected answer", true, "c29tZW9uZQ==\r\n"},
    {"ehlo-refused", kAuth, L"502 5.5.1 EHLO not implemented", false, "EHLO example.com\r\n"},
    {"helo-421", kPlain, kClosing, false, "HELO example.com\r\n"},
    {"rcpt-421", kPlain, kClosing, false, "RCPT TO: <first@example.com>\r\n"},
    {"refuse-mail", kPlain, L"550 5.1.0 Sender refused", false, kMail},
    {"refuse-rcpt", kPlain, L"550 5.1.1 Recipient refused", false, "RCPT TO: <refused@example.com>\r\n"},
    {"refuse-data", kPlain, L"554 5.5.1 No valid recipients", false, "DATA\r\n"},
    {"refuse-dot", kPlain, L"554 5.7.1 Message content refused", false, "\r\n.\r\n"},
    {"drop-in-data", kBigFile, L"", false, nullptr},
    {"prompt-after-greeting", kAuth, kUnexpected, false, ""},
    {"prompt-after-mail", kAuth, kUnexpected, false, kMail, 1},
    {"prompt-after-data", kAuth, kUnexpected, false, "DATA\r\n", 1},
    {"endless-ehlo", kPlain, L"The server's reply is too long", false, nullptr},
    {"stall-in-data", kBigFile, kTimeout, false, nullptr},
    {"stall-in-data", kUUFile, kTimeout, false, nullptr},
    {"never-answers", kPlain, kTimeout, false, nullptr},
    {"closed-port", kPlain, L"", false, nullptr},
    // An attachment deleted, or held open by another program, after it was set: nothing after
    // its part header but QUIT.
    {"ok", kMissingFile, L"File not found", false, "filename=\"zankit attachment.bin\"\r\n\r\n"},
    {"ok", kLockedFile, L"Permission denied", false, "filename=\"zankit attachment.bin\"\r\n\r\n"},
    {"pop3-user-err", kPop3, L"-ERR no such user", false, "USER someone\r\n"},
    {"pop3-pass-err", kPop3, L"-ERR [AUTH] wrong password", false, "", 1},
    {"pop3-silent", kPop3, nullptr, false, nullptr},
    {"pop3-flood", kPop3, kUnexpected, false, ""},
    // PIPELINING offered (a login makes EHLO): the peer answers only once the envelope is complete.
    {"pipe-ok", kAuth, nullptr, false, "", 1},
    {"pipe-refuse-mail", kAuth, L"550 5.1.0 Sender refused", false, "DATA\r\n", 1},
    {"pipe-refuse-rcpt", kAuth, L"550 5.1.1 Recipient refused", false, "DATA\r\n", 1},
    {"pipe-rcpt-421", kAuth, kClosing, false, "DATA\r\n", 1},
    // DATA opened after a refusal: neither the message nor a QUIT (it would be message text).
    {"pipe-data-anyway", kAuth, L"550 5.1.1 Recipient refused", false, nullptr, 1, "DATA\r\n"},
};

// How often the password (matrix-Secret-4711) appears, plain or in base64.
int Secrets(const std::string& text) {
    int found = 0;
    for (const char* secret : {"matrix-Secret-4711", "bWF0cml4LVNlY3JldC00NzEx"}) {
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 1)) ++found;
    }
    return found;
}

}  // namespace

class MailFaults : public testing::TestWithParam<FaultRow> {};
INSTANTIATE_TEST_SUITE_P(EveryRow, MailFaults, testing::ValuesIn(kFaultRows));

TEST_P(MailFaults, ScriptedServer) {
    const FaultRow& row = GetParam();
    SCOPED_TRACE(std::string(row.scenario) + " setup " + std::to_string(row.setup));
    const std::filesystem::path dir = Environment("ZANKIT_SCRIPTED_DIR");
    ASSERT_FALSE(dir.empty()) << "the scripted peer is not running";
    std::map<std::string, std::pair<std::string, long>> peers;  // scenario: host, port
    std::istringstream lines(ReadBytes(dir / "ports"));
    std::string name, host;
    long port = 0;
    while (lines >> name >> host >> port) peers[name] = {host, port};
    ASSERT_TRUE(peers.count(row.scenario));
    const bool pop3 = row.setup == kPop3;
    const std::filesystem::path log = dir / (std::string(row.scenario) + ".log");
    const std::size_t logStart = ReadBytes(log).size();
    SendingMail mail(peers[pop3 ? "ok" : row.scenario].second);
    mail.Set(L"ConnectTimeout", Arg::Long(2));
    mail.Set(L"MessageTimeout", Arg::Long(2));
    mail.Set(L"Recipient", Arg::Text(L"first@example.com;refused@example.com"));
    mail.Set(L"Username", Arg::Text(L"someone"));
    mail.Set(L"Password", Arg::Text(L"matrix-Secret-4711"));
    mail.Set(L"UseAuthentication", Arg::Bool(row.setup == kAuth));
    if (pop3) {
        const std::string& popHost = peers[row.scenario].first;
        mail.Set(L"POP3Host", Arg::Text(std::wstring(popHost.begin(), popHost.end())));
        mail.Set(L"UsePopAuthentication", Arg::Bool(true));
    }
    const bool big = row.setup == kBigFile || row.setup == kUUFile;
    TempFile file(L"zankit attachment.bin", big ? 8 << 20 : 5000);
    if (row.setup >= kBigFile) mail.Set(L"Attachment", Arg::Text(file.path.wstring()));
    if (row.setup == kUUFile) mail.Set(L"EncodeType", Arg::Long(UU_ENCODE));
    if (row.setup == kMissingFile) std::filesystem::remove(file.path);
    // Another program holds the file open without sharing it.
    const HANDLE holder = row.setup != kLockedFile ? INVALID_HANDLE_VALUE
                                                   : CreateFileW(file.path.wstring().c_str(), GENERIC_READ, 0, nullptr,
                                                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(mail.Do(L"Send").hr, S_OK);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

    const std::string seen = testing::PrintToString(mail.Texts());
    EXPECT_EQ(mail.Count(L"SendSuccesful"), row.failure ? 0 : 1) << seen;
    EXPECT_EQ(mail.Count(L"Status: Host Login Failed!"), row.loginFailed ? 1 : 0) << seen;
    EXPECT_TRUE(row.failure || mail.Count(L"SendFailed: ") == 0) << seen;
    const bool failureSeen = row.failure && (*row.failure || !row.loginFailed);  // expected to be seen
    EXPECT_TRUE(!failureSeen || mail.Count(L"SendFailed: ", row.failure) >= 1) << seen;

    const std::string received = ReadBytes(log).substr(logStart);
    EXPECT_EQ(Secrets(received), row.secretSent) << received;
    if (row.beforeQuit) {
        const std::string last = row.beforeQuit + std::string("QUIT\r\n");
        const auto at = received.rfind(last);
        EXPECT_TRUE(at != std::string::npos && at + last.size() == received.size()) << received;
    }
    if (row.last) EXPECT_TRUE(received.ends_with(row.last)) << received;
}
