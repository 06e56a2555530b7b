// The session's TLS rules over a scripted channel: that only EHLO and STARTTLS leave in the clear
// when TLS is required, what follows the hello up to the closing alert, and the login mechanism.
// The TLS engine is a stand-in (a record is its bytes inverted behind a length; the hello is
// "<hello NAME>", the answer "<welcome>"): the native build has no TLS, the real engine is
// driven under Wine. Then the reply size cap and the progress percentages.
#include <gtest/gtest.h>

#include "mail/session/auth_rules.h"
#include "mail/session/reply_assembler.h"
#include "mail/session/session_rules.h"
#include "../session_test_support.h"

namespace zankit::mail::testing {
namespace {

std::string Record(std::string_view plain) {
    std::string record{'\x17', static_cast<char>(plain.size() >> 8), static_cast<char>(plain.size() & 0xFF)};
    for (char c : plain) record.push_back(static_cast<char>(~c));
    return record;
}

// Takes the whole records from the front of input; their plain text.
std::string OpenRecords(std::string& input) {
    std::string plain;
    for (std::size_t size; input.size() >= 3 && input.size() >= 3 + (size = (input[1] & 0xFF) << 8 | (input[2] & 0xFF));
         input.erase(0, 3 + size)) {
        for (std::size_t i = 0; i < size; ++i) plain.push_back(static_cast<char>(~input[3 + i]));
    }
    return plain;
}

// The server's side of the connection: what the client wrote, and what it reads next.
struct ChannelScript {
    std::string incoming;
    std::string written;
};

class ScriptedChannel : public TcpChannel {
public:
    explicit ScriptedChannel(ChannelScript& script) : script_(script) {}
    ConnectStep Open(const std::string&, std::uint16_t) override { return {ConnectStep::Connected, {}}; }
    ConnectStep CheckConnected() override { return {ConnectStep::Connected, {}}; }
    IoStep Send(const char* data, std::size_t size) override {
        script_.written.append(data, size);
        IoStep step;
        step.count = size;
        return step;
    }
    IoStep Receive(char* buffer, std::size_t size) override {
        IoStep step;
        step.count = script_.incoming.copy(buffer, size);
        script_.incoming.erase(0, step.count);
        return step;
    }
    void Close() override {}

private:
    ChannelScript& script_;
};

class ScriptedTls : public TlsEngine {
public:
    TlsStep Begin(const std::string& serverName, bool) override {
        TlsStep step;
        step.output = "<hello " + serverName + ">";
        return step;
    }
    TlsStep Handshake(std::string& input) override {
        TlsStep step;
        step.done = input.rfind("<welcome>", 0) == 0;
        if (step.done) input.erase(0, 9);
        return step;
    }
    std::size_t MaxRecordPlainBytes() const override { return 1000; }
    bool Encrypt(std::string_view plain, std::string& out) override { return out.append(Record(plain)), true; }
    TlsStep Decrypt(std::string& input, std::string& plain) override { return plain += OpenRecords(input), TlsStep(); }
    std::string Shutdown() override { return Record("<bye>"); }
};

// Refusals, a forged reply behind the 220, TLS from the first byte and the plain session when
// STARTTLS is optional and not offered are driven with the real engine by the TLS host tests.
class TlsSession : public ::testing::Test {
protected:
    TlsSession() {
        auto system = std::make_unique<ScriptedSystem>();
        system->onPump = [this] { Serve(); };
        core_ = std::make_unique<SendMailCore>(std::move(system), std::make_unique<MemoryStore>(), events_,
                                               std::make_unique<ScriptedChannel>(script_));
        core_->SetTlsEngineFactory([] { return std::make_unique<ScriptedTls>(); });
        auto& s = core_->Settings();
        s.SetSMTPHostValidation(VALIDATE_HOST_NONE);
        std::string host = "mail.test";
        s.SetSMTPHost(host);
        s.SetFrom("me@example.com");
        s.SetRecipient("you@example.com");
        s.SetUseAuthentication(true);
        s.SetUsername("me");
        s.SetPassword("secret");
        s.SetSecurity(SECURITY_STARTTLS_REQUIRED);
        script_.incoming = "220 hi\r\n";
    }

    // The server: answers each line, in the clear until STARTTLS, in records after the hello.
    void Serve() {
        if (encrypted_ && !greeted_) {
            if (script_.written.find('>') == std::string::npos) return;
            seen_ = script_.written.find('>') + 1;
            greeted_ = true;
            script_.incoming += "<welcome>";
        }
        std::string pending = script_.written.substr(seen_);
        lines_ += encrypted_ ? OpenRecords(pending) : pending;
        seen_ = script_.written.size() - pending.size() * encrypted_;
        for (std::size_t end; (end = lines_.find("\r\n")) != std::string::npos; lines_.erase(0, end + 2)) {
            const std::string line = lines_.substr(0, end);
            if (inData_ && line != ".") continue;
            inData_ = line == "DATA";
            std::string reply = inData_ ? "354 go\r\n" : line == "QUIT" ? "221 bye\r\n" : "250 ok\r\n";
            if (line.rfind("EHLO", 0) == 0)
                reply = encrypted_ ? "250-y\r\n250 AUTH PLAIN LOGIN\r\n" : "250-x\r\n250 STARTTLS\r\n";
            if (line.rfind("AUTH", 0) == 0) reply = "235 welcome\r\n";
            if (line == "STARTTLS") {
                script_.incoming += "220 Ready\r\n";
                encrypted_ = true;
                return lines_.clear();
            }
            script_.incoming += encrypted_ ? Record(reply) : reply;
        }
    }

    OrderedEvents events_;
    ChannelScript script_;
    std::unique_ptr<SendMailCore> core_;
    std::size_t seen_ = 0;
    std::string lines_;
    bool encrypted_ = false, greeted_ = false, inData_ = false;
};

TEST_F(TlsSession, SendsOnlyEhloAndStartTlsInTheClear) {
    core_->Send();
    EXPECT_EQ(events_.log.back(), "SendSuccesful") << ::testing::PrintToString(events_.log);
    std::string written = script_.written;
    EXPECT_EQ(written.substr(0, written.find("<hello")), "EHLO example.com\r\nSTARTTLS\r\n");
    // After the hello: EHLO again, the login the new offer allows, the message, QUIT, the alert.
    written.erase(0, written.find('>') + 1);
    const std::string secret = OpenRecords(written);
    EXPECT_EQ(secret.rfind("EHLO example.com\r\nAUTH PLAIN AG1lAHNlY3JldA==\r\nMAIL FROM: <me@example.com>\r\n", 0), 0u)
        << secret;
    EXPECT_EQ(secret.substr(secret.size() - 11), "QUIT\r\n<bye>");
    EXPECT_TRUE(written.empty());
}

TEST(TlsLogin, MechanismChoice) {
    const ServerOffer full = ServerOfferOf({"250-x", "250-AUTH LOGIN PLAIN CRAM-MD5", "250 AUTH=XOAUTH2"}, "");
    const ServerOffer cram = ServerOfferOf({"250 AUTH CRAM-MD5"}, "");
    EXPECT_EQ(ChooseLoginMechanism(AUTH_AUTOMATIC, full, false, true), LoginMechanism::Login);  // as without TLS
    EXPECT_EQ(ChooseLoginMechanism(AUTH_AUTOMATIC, cram, false, false), LoginMechanism::None);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_AUTOMATIC, full, true, false), LoginMechanism::Plain);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_AUTOMATIC, full, true, true), LoginMechanism::XOAuth2);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_AUTOMATIC, cram, true, false), LoginMechanism::CramMd5);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_PLAIN, cram, true, false), LoginMechanism::None);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_CRAM_MD5, full, false, false), LoginMechanism::CramMd5);
    EXPECT_EQ(ChooseLoginMechanism(AUTH_XOAUTH2 + 1, full, true, true), LoginMechanism::None);
}

// Replies are assembled from pieces (the matrix of scripted servers and the fuzz target cover
// that); a reply past the cap is cut off, with or without line ends.
TEST(ReplyAssembly, AReplyPastTheCapIsCutOff) {
    std::string endlessLines;
    for (int i = 0; i < 1200; ++i) endlessLines += "250-more\r\n";
    for (const std::string& bytes : {endlessLines, std::string(70000, 'x')}) {
        ReplyAssembler replies;
        replies.SetMode(ReplyAssembler::Mode::Smtp);
        std::optional<Reply> reply;  // the first reply, asked for after each piece
        for (std::size_t at = 0; at < bytes.size() && !reply; at += 4096) {
            replies.Append(std::string_view(bytes).substr(at, 4096));
            reply = replies.NextReply();
        }
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->code, kReplyTooLong);
        EXPECT_LE(reply->text.size(), ReplyAssembler::kMaxReplyBytes + 4096);
    }
}

TEST(ProgressMaths, RoundsHalvesToEvenAndCapsAt100) {
    const struct {
        std::int64_t sent, total;
        std::int32_t percent;
    } cases[] = {{1, 8, 12}, {3, 8, 38}, {5, 8, 62},
                 {1, 3, 33}, {2, 3, 67}, {300, 100, 100},
                 {5, 0, 0},  {5, -1, 0}, {3000000000LL, 6000000000LL, 50}};
    for (const auto& c : cases) EXPECT_EQ(ProgressPercent(c.sent, c.total), c.percent) << c.sent << "/" << c.total;
}

}  // namespace
}  // namespace zankit::mail::testing
