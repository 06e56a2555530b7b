// The session against real servers on loopback (aiosmtpd, dovecot) and against the scripted
// peer for faults real servers do not produce on demand. tests/peers/run_session_tests.sh
// starts the peers and sets the variables; without them these tests are skipped.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../mail/mail_test_support.h"
#include "mail/encodings.h"
#include "mail/mail_core.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

const std::string kTimeoutText = std::string(kTimeoutMessage) + "\r\n";

// One SMTP sink started by the runner: its port and what it received.
struct Sink {
    int port = 0;
    std::string spool;

    std::string Received() const { return ReadWholeFile(spool + "/received.log"); }
    // The newest message it kept.
    std::string LastMessage() const {
        int newest = 0;
        for (const auto& entry : std::filesystem::directory_iterator(spool)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("message-", 0) != 0) continue;
            newest = std::max(newest, std::stoi(name.substr(8)));
        }
        return ReadWholeFile(spool + "/message-" + std::to_string(newest) + ".eml");
    }
};

std::optional<Sink> SinkFromEnvironment(const char* portName, const char* spoolName) {
    const auto port = FromEnvironment(portName);
    const auto spool = FromEnvironment(spoolName);
    if (!port || !spool) return std::nullopt;
    return Sink{std::stoi(*port), *spool};
}

// What a sink received during one test.
class Capture {
public:
    explicit Capture(const Sink& sink) : sink_(sink), start_(sink.Received().size()) {}
    std::string Text() const { return sink_.Received().substr(start_); }

private:
    const Sink& sink_;
    std::size_t start_;
};

class SmtpPeers : public ::testing::Test {
protected:
    void SetUp() override {
        auth_ = SinkFromEnvironment("ZANKIT_SMTP_PORT", "ZANKIT_SMTP_SPOOL");
        plain_ = SinkFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
        if (!auth_ || !plain_) GTEST_SKIP() << "the SMTP sinks are not running";
        user_ = FromEnvironment("ZANKIT_SMTP_USER").value_or("");
        password_ = FromEnvironment("ZANKIT_SMTP_PASSWORD").value_or("");
    }

    std::optional<Sink> auth_;
    std::optional<Sink> plain_;
    std::string user_;
    std::string password_;
};

TEST_F(SmtpPeers, ConnectGreetsOnceAndDisconnectSendsQuit) {
    Capture wire(*plain_);
    LoopbackMail mail(plain_->port);
    EXPECT_TRUE(mail.core.Connect());
    EXPECT_TRUE(mail.core.Session().Flags().keepConnection);
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketConnected);
    // A second Connect reuses the open session.
    EXPECT_TRUE(mail.core.Connect());
    mail.core.Disconnect();
    EXPECT_FALSE(mail.core.Session().Flags().keepConnection);
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(mail.events.log,
              (std::vector<std::string>{"Status: Connecting to SMTP Server (127.0.0.1)...",
                                        "Status: Initializing Communications...", "Status: Closing Connection..."}));
    EXPECT_EQ(wire.Text(), "HELO example.com\r\nQUIT\r\n");
}

TEST_F(SmtpPeers, AuthLoginAccepted) {
    Capture wire(*auth_);
    LoopbackMail mail(auth_->port);
    mail.core.Settings().SetUseAuthentication(true);
    mail.core.Settings().SetUsername(user_);
    mail.core.Settings().SetPassword(password_);
    EXPECT_TRUE(mail.core.Connect());
    mail.core.Disconnect();
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{"Status: Connecting to SMTP Server (127.0.0.1)...",
                                                         "Status: Initializing Communications...",
                                                         "Status: Sending Login Authentication...",
                                                         "Status: Host Login OK!", "Status: Closing Connection..."}));
    EXPECT_EQ(wire.Text(), "EHLO example.com\r\nAUTH Login\r\n" + Base64EncodeString(user_) +
                               Base64EncodeString(password_) + "QUIT\r\n");
}

TEST_F(SmtpPeers, AuthLoginRefused) {
    Capture wire(*auth_);
    LoopbackMail mail(auth_->port);
    mail.core.Settings().SetUseAuthentication(true);
    mail.core.Settings().SetUsername(user_);
    mail.core.Settings().SetPassword("not-" + password_);
    EXPECT_FALSE(mail.core.Connect());
    ASSERT_EQ(mail.events.log.size(), 6u);
    EXPECT_EQ(mail.events.log[2], "Status: Sending Login Authentication...");
    // The refusal as received, followed by CR LF; then QUIT; then the login verdict.
    EXPECT_EQ(mail.events.log[3].rfind("SendFailed: 535 ", 0), 0u) << mail.events.log[3];
    EXPECT_EQ(mail.events.log[3].substr(mail.events.log[3].size() - 4), "\r\n\r\n");
    EXPECT_EQ(mail.events.log[4], "Status: Closing Connection...");
    EXPECT_EQ(mail.events.log[5], "Status: Host Login Failed!");
    EXPECT_TRUE(mail.core.Failures().Failed());
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    EXPECT_NE(wire.Text().find("QUIT\r\n"), std::string::npos);
}

TEST_F(SmtpPeers, LoginNotOfferedContinuesWithoutIt) {
    LoopbackMail mail(plain_->port);
    mail.core.Settings().SetUseAuthentication(true);
    mail.core.Settings().SetUsername(user_);
    EXPECT_TRUE(mail.core.Connect());
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{"Status: Connecting to SMTP Server (127.0.0.1)...",
                                                         "Status: Initializing Communications...",
                                                         "Status: Login Not Supported by Host, Continuing..."}));
    mail.core.Disconnect();
}

TEST_F(SmtpPeers, EachMailObjectHasItsOwnConnection) {
    LoopbackMail first(plain_->port);
    LoopbackMail second(plain_->port);
    ASSERT_TRUE(first.core.Connect());
    ASSERT_TRUE(second.core.Connect());
    const auto secondLog = second.events.log;
    first.core.Disconnect();
    EXPECT_EQ(first.core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(second.core.Session().SocketState(), kSocketConnected);
    EXPECT_EQ(second.events.log, secondLog);
    EXPECT_TRUE(second.core.Session().Exchange("NOOP", &SessionFlags::replyOK, 5));
    second.core.Disconnect();
}

TEST_F(SmtpPeers, AnOpenSessionIsClosedWhenTheMailObjectEnds) {
    Capture wire(*plain_);
    OrderedEvents events;
    auto core = std::make_unique<SendMailCore>(MakePlatformMailSystem(), std::make_unique<MemoryStore>(), events);
    core->Settings().SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
    std::string host = "127.0.0.1";
    core->Settings().SetSMTPHost(host);
    core->Settings().SetSMTPPort(plain_->port);
    core->Settings().SetFrom("sender@example.com");
    ASSERT_TRUE(core->Connect());
    core.reset();
    EXPECT_EQ(events.log.back(), "Status: Closing Connection...");
    EXPECT_EQ(wire.Text(), "HELO example.com\r\nQUIT\r\n");
}

TEST_F(SmtpPeers, TimeoutsBelowOneSecondAndNoAttemptsFailAtOnce) {
    // Values outside the setters' range only come from remembered settings.
    auto store = std::make_unique<MemoryStore>();
    store->values = {{"PersistentSettings", "-1"},   {"ConnectTimeout", "0"},
                     {"RemoteHost", "127.0.0.1"},    {"RemotePort", std::to_string(plain_->port)},
                     {"From", "sender@example.com"}, {"ConnectRetry", "4"}};
    LoopbackMail quick(0, std::move(store));
    quick.core.Settings().SetConnectTimeout(0);  // ignored: stays 0 from the store
    EXPECT_EQ(quick.core.Settings().ConnectTimeout(), 0);
    EXPECT_FALSE(quick.core.Connect());
    EXPECT_EQ(quick.events.log,
              (std::vector<std::string>{"Status: Connecting to SMTP Server (127.0.0.1)...",
                                        "SendFailed: " + kTimeoutText, "Status: Closing Connection..."}));

    auto noRetries = std::make_unique<MemoryStore>();
    noRetries->values = {{"PersistentSettings", "-1"},   {"ConnectTimeout", "1"},
                         {"RemoteHost", "127.0.0.1"},    {"RemotePort", std::to_string(plain_->port)},
                         {"From", "sender@example.com"}, {"ConnectRetry", "0"}};
    Capture wire(*plain_);
    LoopbackMail never(0, std::move(noRetries));
    EXPECT_EQ(never.core.Settings().ConnectRetry(), 0);
    EXPECT_FALSE(never.core.Connect());
    EXPECT_EQ(never.events.log, (std::vector<std::string>{"Status: Connecting to SMTP Server (127.0.0.1)...",
                                                          "SendFailed: " + kTimeoutText}));
    EXPECT_EQ(never.core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(wire.Text(), "");
}

// ---- files streamed into a message the sink keeps ------------------------------------------

std::string SampleBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + 11) % 256);
    return bytes;
}

std::vector<std::string> BodyLines(const std::string& message) {
    const std::size_t start = message.find("\r\n\r\n");
    std::vector<std::string> lines;
    if (start == std::string::npos) return lines;
    std::istringstream body(message.substr(start + 4));
    std::string line;
    while (std::getline(body, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string DecodeUULine(const std::string& line) {
    auto value = [&](std::size_t at) {
        return at < line.size() ? (static_cast<unsigned char>(line[at]) - 32) & 63 : 0;
    };
    const std::size_t length = static_cast<std::size_t>(value(0));
    std::string bytes;
    for (std::size_t at = 1; bytes.size() < length; at += 4) {
        const unsigned group = (value(at) << 18) | (value(at + 1) << 12) | (value(at + 2) << 6) | value(at + 3);
        for (int shift = 16; shift >= 0 && bytes.size() < length; shift -= 8) {
            bytes.push_back(static_cast<char>((group >> shift) & 0xFF));
        }
    }
    return bytes;
}

class TransmitToSink : public SmtpPeers {
protected:
    // Sends one message whose body is the file, streamed by TransmitFile; returns the body
    // lines the sink kept.
    std::vector<std::string> Transmit(const std::string& content, std::int32_t encoding) {
        const auto path = dir_.Path() / "file.bin";
        WriteFile(path, content);
        LoopbackMail mail(plain_->port);
        EXPECT_TRUE(mail.core.Connect());
        MailSession& session = mail.core.Session();
        EXPECT_TRUE(session.Exchange("MAIL FROM: <sender@example.com>", &SessionFlags::replyOK, 5));
        EXPECT_TRUE(session.Exchange("RCPT TO: <rcpt@example.com>", &SessionFlags::replyOK, 5));
        EXPECT_TRUE(session.Exchange("DATA", &SessionFlags::dataReady, 5));
        session.SendLine("Subject: file");
        session.SendLine("");
        session.Flags().bytesSent = 0;
        session.TransmitFile(path.string(), encoding);
        EXPECT_FALSE(mail.core.Failures().Failed());
        EXPECT_TRUE(session.Exchange(".", &SessionFlags::replyOK, 10));
        mail.core.Disconnect();
        return BodyLines(plain_->LastMessage());
    }

    TempDir dir_;
};

TEST_F(TransmitToSink, EmptyFileWritesNothing) { EXPECT_TRUE(Transmit("", MIME_ENCODE).empty()); }

TEST_F(TransmitToSink, MimeFileGoesOutAs200FullLinesAndTheRest) {
    const std::string content = SampleBytes(11401);
    const auto lines = Transmit(content, MIME_ENCODE);
    ASSERT_EQ(lines.size(), 201u);
    std::string decoded;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i < 200) EXPECT_EQ(lines[i].size(), 76u) << "line " << i;
        decoded += DecodeBase64String(lines[i]);
    }
    EXPECT_EQ(lines[200].size(), 4u);
    EXPECT_EQ(decoded, content);
}

TEST_F(TransmitToSink, UUFileGoesOutIn45ByteLines) {
    const std::string content = SampleBytes(90);
    const auto lines = Transmit(content, UU_ENCODE);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][0], 'M');
    EXPECT_EQ(lines[1][0], 'M');
    EXPECT_EQ(DecodeUULine(lines[0]) + DecodeUULine(lines[1]), content);
}

// ---- POP3 before SMTP with dovecot ----------------------------------------------------------

class Pop3BeforeSmtp : public SmtpPeers {
protected:
    void SetUp() override {
        SmtpPeers::SetUp();
        if (IsSkipped()) return;
        const auto user = FromEnvironment("ZANKIT_POP3_USER");
        const auto password = FromEnvironment("ZANKIT_POP3_PASSWORD");
        if (!user || !password) GTEST_SKIP() << "dovecot is not running";
        popUser_ = *user;
        popPassword_ = *password;
    }

    std::string popUser_;
    std::string popPassword_;
};

TEST_F(Pop3BeforeSmtp, RightPasswordOpensTheSmtpSession) {
    LoopbackMail mail(plain_->port);
    auto& s = mail.core.Settings();
    std::string host = "127.0.0.1";
    s.SetPOP3Host(host);
    s.SetUsePopAuthentication(true);
    s.SetUsername(popUser_);
    s.SetPassword(popPassword_);
    EXPECT_TRUE(mail.core.Connect());
    mail.core.Disconnect();
    EXPECT_EQ(mail.events.log,
              (std::vector<std::string>{"Status: Connecting to POP3 Server (127.0.0.1)...",
                                        "Status: POP3 Authentication Successful...",
                                        "Status: Connecting to SMTP Server (127.0.0.1)...",
                                        "Status: Initializing Communications...", "Status: Closing Connection..."}));
}

TEST_F(Pop3BeforeSmtp, WrongPasswordStopsBeforeSmtp) {
    Capture wire(*plain_);
    LoopbackMail mail(plain_->port);
    auto& s = mail.core.Settings();
    std::string host = "127.0.0.1";
    s.SetPOP3Host(host);
    s.SetUsePopAuthentication(true);
    s.SetUsername(popUser_);
    s.SetPassword("not-" + popPassword_);
    s.SetConnectTimeout(10);  // dovecot answers a wrong password after a short delay
    EXPECT_FALSE(mail.core.Connect());
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{"Status: Connecting to POP3 Server (127.0.0.1)...",
                                                         "SendFailed: -ERR [AUTH] Authentication failed.\r\n\r\n",
                                                         "Status: Closing Connection..."}));
    EXPECT_EQ(wire.Text(), "");
}

// ---- faults of the scripted peer ------------------------------------------------------------

class ScriptedFaults : public ::testing::Test {
protected:
    void SetUp() override {
        const auto dir = FromEnvironment("ZANKIT_SCRIPTED_DIR");
        if (!dir) GTEST_SKIP() << "the scripted peer is not running";
        dir_ = *dir;
        std::istringstream ports(ReadWholeFile(dir_ + "/ports"));
        std::string name;
        int port = 0;
        while (ports >> name >> port) ports_[name] = port;
    }

    // A mail object aimed at one scenario, with 1-second waits.
    std::unique_ptr<LoopbackMail> MailFor(const std::string& scenario) {
        auto mail = std::make_unique<LoopbackMail>(ports_.at(scenario));
        mail->core.Settings().SetConnectTimeout(1);
        return mail;
    }

    std::string Received(const std::string& scenario) { return ReadWholeFile(dir_ + "/" + scenario + ".log"); }

    std::string dir_;
    std::map<std::string, int> ports_;
};

const std::string kConnecting = "Status: Connecting to SMTP Server (127.0.0.1)...";
const std::string kInitializing = "Status: Initializing Communications...";
const std::string kClosing = "Status: Closing Connection...";

TEST_F(ScriptedFaults, SilentServerTimesOutAfterTheGreetingWait) {
    auto mail = MailFor("silent");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log, (std::vector<std::string>{kConnecting, "SendFailed: " + kTimeoutText, kClosing}));
}

TEST_F(ScriptedFaults, LineDroppedBeforeTheGreeting) {
    auto mail = MailFor("drop-at-connect");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log, (std::vector<std::string>{kConnecting, "SendFailed: " + kTimeoutText, kClosing}));
    EXPECT_EQ(mail->core.Session().SocketState(), kSocketClosed);
}

TEST_F(ScriptedFaults, LineDroppedAtHelo) {
    auto mail = MailFor("drop-at-helo");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{kConnecting, kInitializing, "SendFailed: " + kTimeoutText, kClosing}));
}

TEST_F(ScriptedFaults, LineDroppedAtAuthFailsTheLoginWithoutAReport) {
    auto mail = MailFor("drop-at-auth");
    mail->core.Settings().SetUseAuthentication(true);
    mail->core.Settings().SetUsername("someone");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{kConnecting, kInitializing, "Status: Sending Login Authentication...",
                                        "Status: Host Login Failed!"}));
    EXPECT_TRUE(mail->core.Failures().Failed());
    mail->core.Disconnect();
    EXPECT_EQ(mail->events.log.back(), kClosing);
}

TEST_F(ScriptedFaults, LineDroppedAtACommandTimesOutTheExchange) {
    auto mail = MailFor("drop-at-mail");
    ASSERT_TRUE(mail->core.Connect());
    mail->events.log.clear();
    EXPECT_FALSE(mail->core.Session().Exchange("MAIL FROM: <sender@example.com>", &SessionFlags::replyOK, 1));
    EXPECT_EQ(mail->events.log, (std::vector<std::string>{"SendFailed: " + kTimeoutText, kClosing}));
}

TEST_F(ScriptedFaults, LineDroppedAtQuitStillCloses) {
    auto mail = MailFor("drop-at-quit");
    ASSERT_TRUE(mail->core.Connect());
    mail->core.Disconnect();
    EXPECT_EQ(mail->events.log, (std::vector<std::string>{kConnecting, kInitializing, kClosing}));
    EXPECT_EQ(mail->core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(Received("drop-at-quit"), "HELO example.com\r\nQUIT\r\n");
}

TEST_F(ScriptedFaults, RefusingGreetingGivesTheReplyThenTheTimeout) {
    auto mail = MailFor("greeting-554");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{kConnecting, "SendFailed: 554 5.3.2 No service for you\r\n\r\n", kClosing,
                                        "SendFailed: " + kTimeoutText}));
    EXPECT_EQ(Received("greeting-554"), "QUIT\r\n");
}

TEST_F(ScriptedFaults, RepliesCutIntoSingleBytesAreAssembled) {
    auto mail = MailFor("one-byte");
    mail->core.Settings().SetConnectTimeout(5);
    mail->core.Settings().SetUseAuthentication(true);
    mail->core.Settings().SetUsername("someone");
    mail->core.Settings().SetPassword("secret");
    EXPECT_TRUE(mail->core.Connect());
    mail->core.Disconnect();
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{kConnecting, kInitializing, "Status: Sending Login Authentication...",
                                        "Status: Host Login OK!", kClosing}));
    EXPECT_EQ(Received("one-byte"), "EHLO example.com\r\nAUTH Login\r\n" + Base64EncodeString("someone") +
                                        Base64EncodeString("secret") + "QUIT\r\n");
}

TEST_F(ScriptedFaults, TwoRepliesInOnePieceAreJudgedBoth) {
    auto mail = MailFor("joined");
    ASSERT_TRUE(mail->core.Connect());
    mail->events.log.clear();
    EXPECT_FALSE(mail->core.Session().Exchange("MAIL FROM: <sender@example.com>", &SessionFlags::replyOK, 1));
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{"SendFailed: 550 5.1.0 Sender refused after all\r\n\r\n", kClosing}));
}

TEST_F(ScriptedFaults, UnknownPromptIsCancelled) {
    auto mail = MailFor("odd-prompt");
    mail->core.Settings().SetUseAuthentication(true);
    mail->core.Settings().SetUsername("someone");
    EXPECT_FALSE(mail->core.Connect());
    EXPECT_EQ(mail->events.log,
              (std::vector<std::string>{kConnecting, kInitializing, "Status: Sending Login Authentication...",
                                        "SendFailed: 501 5.7.0 Authentication cancelled\r\n\r\n", kClosing,
                                        "Status: Host Login Failed!"}));
    EXPECT_EQ(Received("odd-prompt"), "EHLO example.com\r\nAUTH Login\r\n\r\n*\r\nQUIT\r\n");
}

// A refused connection is the socket's Error event: reported once, no waiting.
TEST(SessionConnectionRefused, ReportsTheSocketError) {
    int port = 0;
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(probe, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
        ::close(probe);
    }
    LoopbackMail mail(port);
    mail.core.Settings().SetConnectRetry(3);
    EXPECT_FALSE(mail.core.Connect());
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{kConnecting, "SendFailed: Connection refused\r\n", kClosing}));
}

}  // namespace
}  // namespace zankit::mail::testing
