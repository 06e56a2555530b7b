// The session against real servers on loopback: aiosmtpd (one sink with AUTH LOGIN that takes
// mechanism names only in upper case, one without) and dovecot for POP3.
// tests/peers/run_session_tests.sh starts them and sets the variables; without them these
// tests are skipped (and the runner counts a skip as a failure).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../mail/mail_test_support.h"
#include "mail/encodings.h"
#include "mail/mail_core.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

const std::string kTimeoutText = std::string(kTimeoutMessage) + "\r\n";
const std::string kConnecting = "Status: Connecting to SMTP Server (127.0.0.1)...";
const std::string kInitializing = "Status: Initializing Communications...";
const std::string kClosing = "Status: Closing Connection...";

// One SMTP sink started by the runner: its port and what it received.
struct Sink {
    int port = 0;
    std::string spool;
    std::string Received() const { return ReadWholeFile(spool + "/received.log"); }
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
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketConnected);
    EXPECT_TRUE(mail.core.Connect());
    mail.core.Disconnect();
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{kConnecting, kInitializing, kClosing}));
    EXPECT_EQ(wire.Text(), "HELO example.com\r\nQUIT\r\n");
}

// The sink checks the password and takes "AUTH LOGIN" only in upper case; the runner's
// password is 200 bytes long, whose base64 would not fit one line of the body encoder.
TEST_F(SmtpPeers, AuthLoginWithALongPasswordAndItsTrace) {
    ASSERT_GE(password_.size(), 200u);
    TempDir dir;
    const std::string tracePath = (dir.Path() / "trace.log").string();
    ScopedEnv trace("ZANKIT_MAIL_TRACE", tracePath);
    struct Case {
        std::string password;
        bool accepted;
    };
    for (const Case& c : {Case{password_, true}, Case{"not-" + password_, false}}) {
        Capture wire(*auth_);
        LoopbackMail mail(auth_->port);
        auto& s = mail.core.Settings();
        s.SetUseAuthentication(true);
        s.SetUsername(user_);
        s.SetPassword(c.password);
        EXPECT_EQ(mail.core.Connect(), c.accepted);
        mail.core.Disconnect();
        const std::string login =
            "EHLO example.com\r\nAUTH LOGIN\r\n" + Base64OneLine(user_) + "\r\n" + Base64OneLine(c.password) + "\r\n";
        EXPECT_EQ(wire.Text(), login + "QUIT\r\n");
        const auto& log = mail.events.log;
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[2], "Status: Sending Login Authentication...");
        if (c.accepted) {
            EXPECT_EQ(log, (std::vector<std::string>{kConnecting, kInitializing, log[2], "Status: Host Login OK!",
                                                     kClosing}));
        } else {
            EXPECT_EQ(log[3].rfind("SendFailed: 535 ", 0), 0u) << log[3];
            EXPECT_EQ(log.back(), "Status: Host Login Failed!");
        }
    }
    // The trace names every command and reply, but no secret.
    const std::string traced = ReadWholeFile(tracePath);
    for (const char* expected :
         {"C: EHLO example.com\n", "C: AUTH LOGIN\n", "C: ****\n", "S: 235 ", "S: 535 ", "C: QUIT\n", "S: 221 "}) {
        EXPECT_NE(traced.find(expected), std::string::npos) << expected << "\n" << traced;
    }
    EXPECT_EQ(traced.find(Base64OneLine(password_)), std::string::npos);
    EXPECT_EQ(traced.find(password_), std::string::npos);
}

TEST_F(SmtpPeers, LoginNotOfferedContinuesWithoutIt) {
    LoopbackMail mail(plain_->port);
    mail.core.Settings().SetUseAuthentication(true);
    mail.core.Settings().SetUsername(user_);
    EXPECT_TRUE(mail.core.Connect());
    EXPECT_EQ(mail.events.log, (std::vector<std::string>{kConnecting, kInitializing,
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
    EXPECT_EQ(second.core.Session().SocketState(), kSocketConnected);
    EXPECT_EQ(second.events.log, secondLog);
    EXPECT_TRUE(second.core.Session().Exchange("NOOP", &SessionFlags::replyOK, 5));
    second.core.Disconnect();
}

TEST_F(SmtpPeers, AnOpenSessionIsClosedWhenTheMailObjectEnds) {
    Capture wire(*plain_);
    OrderedEvents events;
    auto core = std::make_unique<SendMailCore>(MakePlatformMailSystem(), std::make_unique<MemoryStore>(), events);
    std::string host = "127.0.0.1";
    core->Settings().SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
    core->Settings().SetSMTPHost(host);
    core->Settings().SetSMTPPort(plain_->port);
    core->Settings().SetFrom("sender@example.com");
    ASSERT_TRUE(core->Connect());
    core.reset();
    EXPECT_EQ(events.log.back(), kClosing);
    EXPECT_EQ(wire.Text(), "HELO example.com\r\nQUIT\r\n");
}

TEST_F(SmtpPeers, TimeoutsBelowOneSecondAndNoAttemptsFailAtOnce) {
    // Values outside the setters' range only come from remembered settings.
    struct Case {
        std::string timeout, retries;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"0", "4", {kConnecting, "SendFailed: " + kTimeoutText, kClosing}},
        {"1", "0", {kConnecting, "SendFailed: " + kTimeoutText}},
    };
    for (const auto& c : cases) {
        auto store = std::make_unique<MemoryStore>();
        store->values = {{"PersistentSettings", "-1"},   {"ConnectTimeout", c.timeout},
                         {"RemoteHost", "127.0.0.1"},    {"RemotePort", std::to_string(plain_->port)},
                         {"From", "sender@example.com"}, {"ConnectRetry", c.retries}};
        LoopbackMail mail(0, std::move(store));
        EXPECT_FALSE(mail.core.Connect());
        EXPECT_EQ(mail.events.log, c.events);
        EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    }
}

TEST_F(SmtpPeers, Pop3BeforeSmtpWithDovecot) {
    const auto user = FromEnvironment("ZANKIT_POP3_USER");
    const auto password = FromEnvironment("ZANKIT_POP3_PASSWORD");
    if (!user || !password) GTEST_SKIP() << "dovecot is not running";
    struct Case {
        std::string password;
        std::vector<std::string> events;
        std::string smtpWire;
    };
    const Case cases[] = {
        {*password,
         {"Status: Connecting to POP3 Server (127.0.0.1)...", "Status: POP3 Authentication Successful...", kConnecting,
          kInitializing, kClosing},
         "HELO example.com\r\nQUIT\r\n"},
        {"not-" + *password,
         {"Status: Connecting to POP3 Server (127.0.0.1)...", "SendFailed: -ERR [AUTH] Authentication failed.\r\n\r\n",
          kClosing},
         ""},
    };
    for (const auto& c : cases) {
        Capture wire(*plain_);
        LoopbackMail mail(plain_->port);
        auto& s = mail.core.Settings();
        std::string host = "127.0.0.1";
        s.SetPOP3Host(host);
        s.SetUsePopAuthentication(true);
        s.SetUsername(*user);
        s.SetPassword(c.password);
        s.SetConnectTimeout(10);  // dovecot answers a wrong password after a short delay
        mail.core.Connect();
        mail.core.Disconnect();
        EXPECT_EQ(mail.events.log, c.events);
        EXPECT_EQ(wire.Text(), c.smtpWire);
    }
}

}  // namespace
}  // namespace zankit::mail::testing
