// The session and Send against real servers on loopback: aiosmtpd (one sink with AUTH LOGIN that
// takes mechanism names only in upper case, one without) and dovecot for POP3. Messages the
// sink received are taken apart by Python's email package and uudecode (read_message.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "mail/message/encodings.h"
#include "../session_test_support.h"

namespace zankit::mail::testing {
namespace {

using Events = std::vector<std::string>;
const std::string kConnecting = "Status: Connecting to SMTP Server (127.0.0.1)...";
const std::string kInitializing = "Status: Initializing Communications...";
const std::string kClosing = "Status: Closing Connection...";

class SmtpPeers : public ::testing::Test {
protected:
    void SetUp() override {
        auth_ = SinkPeerFromEnvironment("ZANKIT_SMTP_PORT", "ZANKIT_SMTP_SPOOL");
        plain_ = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
        if (!auth_ || !plain_) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
    }
    std::optional<SinkPeer> auth_, plain_;
};

// Each object has its own connection; Connect greets once (an empty host is filled from the MX
// lookup, once), Disconnect or the object's end says QUIT.
TEST_F(SmtpPeers, ConnectGreetsOnceAndTheEndOfTheSessionSendsQuit) {
    const std::size_t mark = plain_->Received().size();
    LoopbackMail first(plain_->port);
    std::string noHost;
    first.core.Settings().SetSMTPHost(noHost);
    int lookups = 0;
    first.core.Session().SetMxLookup([&] { return ++lookups, std::string("127.0.0.1"); });
    auto second = std::make_unique<LoopbackMail>(plain_->port);
    second->core.Settings().SetUseAuthentication(true);  // not offered: it goes on without
    EXPECT_TRUE(first.core.Connect());
    EXPECT_TRUE(first.core.Connect());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(first.core.Settings().SMTPHost(), "127.0.0.1");
    ASSERT_TRUE(second->core.Connect());
    first.core.Disconnect();
    EXPECT_EQ(first.events.log, (Events{kConnecting, kInitializing, kClosing}));
    EXPECT_EQ(second->events.log,
              (Events{kConnecting, kInitializing, "Status: Login Not Supported by Host, Continuing..."}));
    EXPECT_TRUE(second->core.Session().Exchange("NOOP", &SessionFlags::replyOK, 5));
    second.reset();
    EXPECT_EQ(plain_->Since(mark), "HELO example.com\r\nEHLO example.com\r\nQUIT\r\nNOOP\r\nQUIT\r\n");
}

// The runner's password is 200 bytes long, whose base64 would not fit one line of the body
// encoder. The trace names every command and reply, but no secret.
TEST_F(SmtpPeers, AuthLoginWithALongPasswordAndItsTrace) {
    const std::string user = FromEnvironment("ZANKIT_SMTP_USER").value_or("");
    const std::string password = FromEnvironment("ZANKIT_SMTP_PASSWORD").value_or("");
    ASSERT_GE(password.size(), 200u);
    TempDir dir;
    const std::string tracePath = (dir.Path() / "trace.log").string();
    ::setenv("ZANKIT_MAIL_TRACE", tracePath.c_str(), 1);
    for (const std::string& secret : {password, "not-" + password}) {
        const bool accepted = secret == password;
        const std::size_t mark = auth_->Received().size();
        LoopbackMail mail(auth_->port);
        auto& s = mail.core.Settings();
        s.SetUseAuthentication(true);
        s.SetUsername(user);
        s.SetPassword(secret);
        EXPECT_EQ(mail.core.Connect(), accepted);
        mail.core.Disconnect();
        EXPECT_EQ(auth_->Since(mark), "EHLO example.com\r\nAUTH LOGIN\r\n" + Base64OneLine(user) + "\r\n" +
                                          Base64OneLine(secret) + "\r\nQUIT\r\n");
        const auto& log = mail.events.log;
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[2], "Status: Sending Login Authentication...");
        EXPECT_TRUE(accepted ? log[3] == "Status: Host Login OK!" : log[3].rfind("SendFailed: 535 ", 0) == 0) << log[3];
        EXPECT_EQ(log.back(), accepted ? kClosing : "Status: Host Login Failed!");
    }
    ::unsetenv("ZANKIT_MAIL_TRACE");
    const std::string traced = ReadWholeFile(tracePath);
    for (const char* expected :
         {"C: EHLO example.com\n", "C: AUTH LOGIN\n", "C: ****\n", "S: 235 ", "S: 535 ", "S: 221 "}) {
        EXPECT_NE(traced.find(expected), std::string::npos) << expected << "\n" << traced;
    }
    EXPECT_EQ(traced.find(Base64OneLine(password)), std::string::npos);
    EXPECT_EQ(traced.find(password), std::string::npos);
}

// The login sink offers PIPELINING, the other does not: both get the same envelope (at once, or
// one command after the other) and the host hears the same events, login aside.
TEST_F(SmtpPeers, PipelinedEnvelopeSendsTheSameCommandsAndEvents) {
    std::vector<Events> seen;
    for (const SinkPeer& sink : {*plain_, *auth_}) {
        const std::size_t mark = sink.Received().size();
        LoopbackMail mail(sink.port);
        auto& s = mail.core.Settings();
        s.SetUseAuthentication(true);
        s.SetUsername(FromEnvironment("ZANKIT_SMTP_USER").value_or(""));
        s.SetPassword(FromEnvironment("ZANKIT_SMTP_PASSWORD").value_or(""));
        s.SetRecipient("a@example.com;b@example.com");
        mail.core.Send();
        EXPECT_TRUE(std::regex_search(sink.Since(mark), std::regex("\r\nMAIL FROM: <sender@example.com>\r\nRCPT TO: "
                                                                   "<a@example.com>\r\nRCPT TO: <b@example.com>\r\n"
                                                                   "DATA\r\nMessage-ID: [^]*\r\n\\.\r\nQUIT\r\n$")));
        std::erase_if(mail.events.log, [](auto& e) { return e.find("Login") != e.npos || e.starts_with("Progress"); });
        seen.push_back(mail.events.log);
    }
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[1].back(), "SendSuccesful");
}

// One session (Connect, Disconnect) per row with the remembered settings of the row, which are
// the only way to values outside the setters' range; POP3 before SMTP against dovecot.
TEST_F(SmtpPeers, RememberedSettingsAndPop3) {
    const std::string user = FromEnvironment("ZANKIT_POP3_USER").value_or("");
    const std::string password = FromEnvironment("ZANKIT_POP3_PASSWORD").value_or("");
    ASSERT_FALSE(password.empty()) << "dovecot is not running";
    const std::string pop3 = "Status: Connecting to POP3 Server (";
    // clang-format off
    const struct {
        std::map<std::string, std::string> remembered;
        Events events;
        std::optional<std::string> wire;  // what the sink received, when the row tells
    } rows[] = {
        {{{"UsePopAuthentication", "-1"}, {"Pop3Host", "127.0.0.1"}},
         {pop3 + "127.0.0.1)...", "Status: POP3 Authentication Successful...", kConnecting, kInitializing, kClosing},
         "HELO example.com\r\nQUIT\r\n"},
        // No "Connecting to SMTP Server": the sink is not asked (what it logs now may be a late line of
        // an earlier row's session).
        {{{"UsePopAuthentication", "-1"}}, {pop3 + ")...", "SendFailed: Invalid or Missing POP3 Host Name\r\n"}, {}},
        // Asked for TLS, a server without STLS (CAPA read) gets no USER.
        {{{"UsePopAuthentication", "-1"}, {"Pop3Host", "127.0.0.1"}, {"Security", "1"}},
         {pop3 + "127.0.0.1)...", "SendFailed: TLS not offered by server\r\n", kClosing}, {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        auto store = std::make_unique<MemoryStore>();
        store->values = row.remembered;
        // clang-format off
        store->values.insert({{"PersistentSettings", "-1"}, {"RemoteHost", "127.0.0.1"},
                              {"RemotePort", std::to_string(plain_->port)}, {"From", "sender@example.com"}});
        // clang-format on
        const std::size_t mark = plain_->Received().size();
        LoopbackMail mail(0, std::move(store));
        mail.core.Settings().SetUsername(user);
        mail.core.Settings().SetPassword(password);
        mail.core.Connect();
        mail.core.Disconnect();
        EXPECT_EQ(mail.events.log, row.events);
        if (row.wire) {
            EXPECT_EQ(plain_->Since(mark), *row.wire);
        }
    }
}

// A received message as a mail reader sees it: headers in order, then the leaf parts and the
// uudecoded blocks of the text part, each with its type (for a UU block: uudecode's exit
// status), content id, file name and bytes.
struct InspectedMessage {
    struct Part {
        std::string type, cid, file, bytes;
    };
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<Part> parts, uu;

    std::string Header(const std::string& name) const {
        const auto found =
            std::find_if(headers.begin(), headers.end(), [&](auto& h) { return EqualsNoCase(h.first, name); });
        return found == headers.end() ? "<missing>" : found->second;
    }
};

// Runs tests/peers/read_message.py over a message file and reads its tab-separated summary.
InspectedMessage Inspect(const std::string& messageFile, const std::filesystem::path& out) {
    const std::string outDir = out.string();
    const auto script = std::filesystem::path(__FILE__).parent_path() / "../../../peers/read_message.py";
    InspectedMessage result;
    if (std::system(("/usr/bin/python3 '" + script.string() + "' '" + messageFile + "' '" + outDir + "'").c_str()))
        return result;
    std::istringstream summary(ReadWholeFile(outDir + "/summary.txt"));
    for (std::string line; std::getline(summary, line);) {
        std::vector<std::string> f;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) f.push_back(field);
        f.resize(5);
        if (f[0] == "header") {
            result.headers.emplace_back(f[1], f[2]);
        } else {
            (f[0] == "uu" ? result.uu : result.parts).push_back({f[1], f[2], f[3], ReadWholeFile(outDir + "/" + f[4])});
        }
    }
    return result;
}

// Sizes around the UU line (45, with 14 giving the length character "."), the base64 line
// (57), the streaming piece (11400) and one of several MiB; names with spaces and umlauts.
// clang-format off
const std::pair<std::string, std::size_t> kAttachments[] = {
    {"empty file.bin", 0}, {"vierzehn Bytes.dat", 14}, {"line45.bin", 45}, {"line57.bin", 57},
    {"piece 11400.bin", 11400}, {"piece 11401.bin", 11401}, {"Gr\xC3\xB6\xC3\x9F" "e M\xC3\xBCll.bin", 3 * 1024 * 1024 + 7},
};
// clang-format on

// Both encodings; UU mode also asks for priority and receipt, which it must leave out. Every
// attachment arrives byte for byte, and the wire carries only CR LF line ends.
TEST(SendToSink, AttachmentsArriveByteForByte) {
    const auto sink = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
    if (!sink) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
    TempDir dir;
    LoopbackMail mail(sink->port);
    mail.core.SetReverseLookup([](const std::string&) { return std::string("sink.reverse.test"); });
    auto& s = mail.core.Settings();
    s.SetMessageTimeout(20);
    s.SetRecipient("first@example.com");
    s.SetMessage("Hello there.");
    std::string joined;
    for (const auto& [name, size] : kAttachments)
        joined += (joined.empty() ? "" : ";") + BinaryFile(dir.Path(), name, size);
    s.SetAttachment(joined);
    for (const bool uu : {false, true}) {
        SCOPED_TRACE(uu ? "UU" : "MIME");
        s.SetEncodeType(uu ? UU_ENCODE : MIME_ENCODE);
        s.SetReceipt(uu);
        s.SetPriority(uu ? HIGH_PRIORITY : NORMAL_PRIORITY);
        const std::filesystem::directory_iterator spool(sink->spool);
        const std::string number = std::to_string(
            1 + std::count_if(begin(spool), end(spool), [](const auto& e) { return e.path().extension() == ".eml"; }));
        mail.events.percents.clear();
        const std::size_t mark = sink->Received().size();
        mail.core.Send();
        const std::string wire = sink->Since(mark);
        EXPECT_EQ(mail.events.log.back(), "SendSuccesful") << ::testing::PrintToString(mail.events.log);
        EXPECT_TRUE(!mail.events.percents.empty() && mail.events.percents.back() == 100);
        std::ptrdiff_t pairs = 0;  // every CR and every LF on the wire is part of a CR LF
        for (auto at = wire.find("\r\n"); at != std::string::npos; at = wire.find("\r\n", at + 2)) ++pairs;
        EXPECT_EQ(std::count(wire.begin(), wire.end(), '\r') + std::count(wire.begin(), wire.end(), '\n'), 2 * pairs);
        const InspectedMessage message = Inspect(sink->spool + "/message-" + number + ".eml", dir.Path() / number);
        EXPECT_TRUE(std::regex_match(message.Header("Message-ID"),
                                     std::regex("<[0-9]{17}\\.[A-Za-z0-8]{20}@sink\\.reverse\\.test>")));
        // No priority, no receipt in UU mode; the file name outside ASCII makes the text 8-bit,
        // labelled by MIME-Version, Content-Type and Content-Transfer-Encoding.
        EXPECT_EQ(message.headers.size(), uu ? 8u : 7u);
        // The 14-byte line starts with its length character "." and went out doubled.
        EXPECT_TRUE(!uu || wire.find("begin 600 vierzehn Bytes.dat\r\n..") != std::string::npos);
        ASSERT_FALSE(message.parts.empty());
        EXPECT_EQ(message.parts[0].type + " " + message.parts[0].bytes.substr(0, 14), "text/plain Hello there.\r\n");
        const auto& files =
            uu ? message.uu : std::vector<InspectedMessage::Part>(message.parts.begin() + 1, message.parts.end());
        ASSERT_EQ(files.size(), std::size(kAttachments));
        for (std::size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(kAttachments[i].first);
            EXPECT_EQ(files[i].type + " " + files[i].cid + " " + files[i].file,
                      (uu ? "0 - " : "application/octet-stream - ") + kAttachments[i].first);
            EXPECT_TRUE(files[i].bytes == ReadWholeFile(s.Attachments().Paths()[i]));
        }
    }
}

}  // namespace
}  // namespace zankit::mail::testing
