// The session over a scripted channel and a scripted clock: the paths that need no server
// (missing hosts, closed socket, missing file) and the progress accounting.
#include <gtest/gtest.h>

#include <map>

#include "mail/message_writer.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

class SessionOffline : public ::testing::Test {
protected:
    SessionOffline() {
        auto system = std::make_unique<ScriptedSystem>();
        system_ = system.get();
        core_ = std::make_unique<SendMailCore>(std::move(system), std::make_unique<MemoryStore>(), events_,
                                               std::make_unique<ScriptedChannel>(script_));
        auto& s = core_->Settings();
        s.SetSMTPHostValidation(VALIDATE_HOST_NONE);
        s.SetFrom("me@example.com");
        s.SetConnectTimeout(3);
        // A server in the pump: answers each complete command line the socket has written.
        system_->onPump = [this] {
            std::size_t end;
            while ((end = script_.written.find("\r\n", answered_)) != std::string::npos) {
                const std::string verb = script_.written.substr(answered_, 4);
                answered_ = end + 2;
                const auto reply = replies_.find(verb);
                if (reply != replies_.end()) script_.incoming += reply->second;
            }
        };
    }

    void UseHost(std::string host) { core_->Settings().SetSMTPHost(host); }

    // Connects to the scripted server, which greets and answers HELO and QUIT.
    void ConnectScripted() {
        UseHost("mail.test");
        script_.incoming = "220 ready\r\n";
        ASSERT_TRUE(core_->Connect());
        events_.log.clear();
    }

    // Streams a file through a message writer, as Send does for an attachment.
    bool Transmit(const std::string& path, std::int32_t encoding) {
        MessageWriter writer(core_->Session(), core_->System());
        return writer.File(path, encoding) && writer.Finish();
    }

    std::string TempFile(const std::string& content) {
        const auto path = dir_.Path() / "attachment.bin";
        WriteFile(path, content);
        return path.string();
    }

    OrderedEvents events_;
    ChannelScript script_;
    ScriptedSystem* system_ = nullptr;
    std::unique_ptr<SendMailCore> core_;
    std::size_t answered_ = 0;
    std::map<std::string, std::string> replies_{
        {"HELO", "250 hello\r\n"}, {"EHLO", "250-hello\r\n250 AUTH LOGIN\r\n"}, {"QUIT", "221 bye\r\n"}};
    TempDir dir_;
};

// Connect without a host fails silently; Send says why.
TEST_F(SessionOffline, NoHostAndNoMxLookup) {
    EXPECT_FALSE(core_->Connect());
    EXPECT_TRUE(events_.log.empty());
    EXPECT_TRUE(core_->Errors().Contains("Invalid or Missing SMTP Host Name"));
    core_->Settings().SetRecipient("you@example.com");
    core_->Send();
    EXPECT_EQ(events_.log, (std::vector<std::string>{"SendFailed: Invalid or Missing SMTP Host Name\r\n"}));
    EXPECT_EQ(script_.opens, 0);
}

TEST_F(SessionOffline, EmptySmtpHostIsFilledFromTheMxLookup) {
    int lookups = 0;
    core_->Session().SetMxLookup([&] {
        ++lookups;
        return std::string("mx.example.com");
    });
    script_.incoming = "220 ready\r\n";
    EXPECT_TRUE(core_->Connect());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(core_->Settings().SMTPHost(), "mx.example.com");
    EXPECT_EQ(script_.host, "mx.example.com");
    EXPECT_EQ(script_.port, 25);
    EXPECT_EQ(events_.log, (std::vector<std::string>{"Status: Connecting to SMTP Server (mx.example.com)...",
                                                     "Status: Initializing Communications..."}));
    EXPECT_EQ(script_.written, "HELO example.com\r\n");
    // An open session is reused: no lookup, no new connection, no events.
    EXPECT_TRUE(core_->Connect());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(script_.opens, 1);
    EXPECT_EQ(events_.log.size(), 2u);
}

TEST_F(SessionOffline, EmptyPop3HostIsReportedAndStopsTheSession) {
    UseHost("mail.test");
    core_->Settings().SetUsePopAuthentication(true);
    EXPECT_FALSE(core_->Connect());
    EXPECT_EQ(events_.log, (std::vector<std::string>{"Status: Connecting to POP3 Server ()...",
                                                     "SendFailed: Invalid or Missing POP3 Host Name\r\n"}));
    EXPECT_EQ(script_.opens, 0);
    EXPECT_TRUE(core_->Failures().Failed());
}

TEST_F(SessionOffline, AClosedSocketMidFileStopsTheTransfer) {
    ConnectScripted();
    script_.sendBudget = 0;     // nothing leaves, so the writer waits for room in the queue
    script_.peerCloses = true;  // and the peer hangs up meanwhile
    Transmit(TempFile(std::string(11400 * 8, 'x')), MIME_ENCODE);
    EXPECT_EQ(events_.log,
              (std::vector<std::string>{"SendFailed: Socket not Open\r\n", "Status: Closing Connection..."}));
    EXPECT_EQ(core_->Session().SocketState(), kSocketClosed);
}

TEST_F(SessionOffline, ProgressIsRaisedOnlyWhenThePercentageChanges) {
    ConnectScripted();
    SessionFlags& flags = core_->Session().Flags();
    script_.written.clear();
    answered_ = 0;
    // Two pieces of 11400 bytes: 15600 characters of base64 each. Send starts counting at 0.
    flags.bytesSent = 0;
    flags.totalBytes = 31200;
    Transmit(TempFile(std::string(22800, 'x')), MIME_ENCODE);
    EXPECT_EQ(events_.percents, (std::vector<long>{50, 100}));
    EXPECT_EQ(script_.written.size(), 31200u);

    // Past the estimate the percentage stays 100 and is not raised again.
    Transmit(TempFile(std::string(100, 'x')), MIME_ENCODE);
    EXPECT_EQ(events_.percents.size(), 2u);
    EXPECT_EQ(flags.lastPercent, 100);
}

TEST_F(SessionOffline, ProgressOfAClosedSocketIsCountedButNotRaised) {
    SessionFlags& flags = core_->Session().Flags();
    flags.totalBytes = 200;
    core_->Session().OnSendProgress(100, 100);
    EXPECT_EQ(flags.lastPercent, 50);
    EXPECT_EQ(flags.bytesRemaining, 100);
    EXPECT_TRUE(events_.percents.empty());
}

}  // namespace
}  // namespace zankit::mail::testing
