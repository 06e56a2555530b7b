// The session against real servers on loopback: aiosmtpd (one sink with AUTH LOGIN that takes
// mechanism names only in upper case, one without) and dovecot for POP3.
#include <gtest/gtest.h>

#include "mail/encodings.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

using Events = std::vector<std::string>;
const std::string kConnecting = "Status: Connecting to SMTP Server (127.0.0.1)...";
const std::string kInitializing = "Status: Initializing Communications...";
const std::string kClosing = "Status: Closing Connection...";
const std::string kHeloQuit = "HELO example.com\r\nQUIT\r\n";

class SmtpPeers : public ::testing::Test {
protected:
    void SetUp() override {
        auth_ = SinkPeerFromEnvironment("ZANKIT_SMTP_PORT", "ZANKIT_SMTP_SPOOL");
        plain_ = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
        if (!auth_ || !plain_) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
        user_ = FromEnvironment("ZANKIT_SMTP_USER").value_or("");
        password_ = FromEnvironment("ZANKIT_SMTP_PASSWORD").value_or("");
    }

    std::optional<SinkPeer> auth_, plain_;
    std::string user_, password_;
};

TEST_F(SmtpPeers, ConnectGreetsOnceAndDisconnectSendsQuit) {
    Capture wire(*plain_);
    LoopbackMail mail(plain_->port);
    EXPECT_TRUE(mail.core.Connect());
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketConnected);
    EXPECT_TRUE(mail.core.Connect());
    mail.core.Disconnect();
    EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    EXPECT_EQ(mail.events.log, (Events{kConnecting, kInitializing, kClosing}));
    EXPECT_EQ(wire.Text(), kHeloQuit);
}

// The runner's password is 200 bytes long, whose base64 would not fit one line of the body
// encoder.
TEST_F(SmtpPeers, AuthLoginWithALongPasswordAndItsTrace) {
    ASSERT_GE(password_.size(), 200u);
    TempDir dir;
    const std::string tracePath = (dir.Path() / "trace.log").string();
    ScopedEnv trace("ZANKIT_MAIL_TRACE", tracePath);
    for (const std::string& password : {password_, "not-" + password_}) {
        const bool accepted = password == password_;
        Capture wire(*auth_);
        LoopbackMail mail(auth_->port);
        auto& s = mail.core.Settings();
        s.SetUseAuthentication(true);
        s.SetUsername(user_);
        s.SetPassword(password);
        EXPECT_EQ(mail.core.Connect(), accepted);
        mail.core.Disconnect();
        EXPECT_EQ(wire.Text(), "EHLO example.com\r\nAUTH LOGIN\r\n" + Base64OneLine(user_) + "\r\n" +
                                   Base64OneLine(password) + "\r\nQUIT\r\n");
        const auto& log = mail.events.log;
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[2], "Status: Sending Login Authentication...");
        if (accepted) {
            EXPECT_EQ(log, (Events{kConnecting, kInitializing, log[2], "Status: Host Login OK!", kClosing}));
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
    EXPECT_EQ(mail.events.log,
              (Events{kConnecting, kInitializing, "Status: Login Not Supported by Host, Continuing..."}));
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
}

TEST_F(SmtpPeers, AnOpenSessionIsClosedWhenTheMailObjectEnds) {
    Capture wire(*plain_);
    auto mail = std::make_unique<LoopbackMail>(plain_->port);
    ASSERT_TRUE(mail->core.Connect());
    mail.reset();
    EXPECT_EQ(wire.Text(), kHeloQuit);
}

// Values outside the setters' range only come from remembered settings.
TEST_F(SmtpPeers, TimeoutsBelowOneSecondAndNoAttemptsFailAtOnce) {
    const std::string failed = "SendFailed: " + std::string(kTimeoutMessage) + "\r\n";
    const std::tuple<std::string, std::string, Events> cases[] = {
        {"0", "4", {kConnecting, failed, kClosing}},
        {"1", "0", {kConnecting, failed}},
    };
    for (const auto& [timeout, retries, events] : cases) {
        auto store = std::make_unique<MemoryStore>();
        store->values = {{"PersistentSettings", "-1"},   {"ConnectTimeout", timeout},
                         {"RemoteHost", "127.0.0.1"},    {"RemotePort", std::to_string(plain_->port)},
                         {"From", "sender@example.com"}, {"ConnectRetry", retries}};
        LoopbackMail mail(0, std::move(store));
        EXPECT_FALSE(mail.core.Connect());
        EXPECT_EQ(mail.events.log, events);
        EXPECT_EQ(mail.core.Session().SocketState(), kSocketClosed);
    }
}

TEST_F(SmtpPeers, Pop3BeforeSmtpWithDovecot) {
    const auto user = FromEnvironment("ZANKIT_POP3_USER");
    const auto password = FromEnvironment("ZANKIT_POP3_PASSWORD");
    ASSERT_TRUE(user && password) << "dovecot is not running";
    const std::string pop3 = "Status: Connecting to POP3 Server (127.0.0.1)...";
    const std::tuple<std::string, Events, std::string> cases[] = {
        {*password,
         {pop3, "Status: POP3 Authentication Successful...", kConnecting, kInitializing, kClosing},
         kHeloQuit},
        {"not-" + *password, {pop3, "SendFailed: -ERR [AUTH] Authentication failed.\r\n\r\n", kClosing}, ""},
    };
    for (const auto& [secret, events, smtpWire] : cases) {
        Capture wire(*plain_);
        LoopbackMail mail(plain_->port);
        auto& s = mail.core.Settings();
        std::string host = "127.0.0.1";
        s.SetPOP3Host(host);
        s.SetUsePopAuthentication(true);
        s.SetUsername(*user);
        s.SetPassword(secret);
        s.SetConnectTimeout(10);  // dovecot answers a wrong password after a short delay
        mail.core.Connect();
        mail.core.Disconnect();
        EXPECT_EQ(mail.events.log, events);
        EXPECT_EQ(wire.Text(), smtpWire);
    }
}

}  // namespace
}  // namespace zankit::mail::testing
