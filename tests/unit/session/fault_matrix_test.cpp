// The session against hostile and broken servers: one row per behaviour of the scripted peer
// (tests/peers/scripted_smtp.py), with what the host must see and what must not happen: a
// credential sent, bytes after a refusal, a missing QUIT.
#include <gtest/gtest.h>

#include <map>

#include "mail/encodings.h"
#include "mail/reply_assembler.h"
#include "mail/session_rules.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

enum Setup { kPlain, kAuth, kPop3, kMimeFile, kUUFile, kMissingFile };
enum Outcome { kSent, kFailed, kLoginFailed };

struct FaultRow {
    const char* scenario;  // the scripted behaviour, by name
    Setup setup;
    Outcome outcome;
    const char* failure;         // text the SendFailed events carry ("" for any text)
    bool quit;                   // the peer saw QUIT last
    const char* refused;         // a line after which the peer saw nothing but QUIT ("" when not checked)
    std::size_t secretSent = 0;  // times the password went out, in answer to the client's own command
};

const std::string kTimeout(kTimeoutMessage);
const std::string kUnexpected(kUnexpectedAnswer);
const std::string kTooLong(kReplyTooLongText);
const char kMail[] = "MAIL FROM: <sender@example.com>\r\n";

const FaultRow kRows[] = {
    {"ok", kPlain, kSent, "", true, ""},
    {"silent", kPlain, kFailed, kTimeout.c_str(), true, ""},
    {"drop-at-connect", kPlain, kFailed, kTimeout.c_str(), false, ""},
    {"drop-at-helo", kPlain, kFailed, kTimeout.c_str(), false, ""},
    {"drop-at-auth", kAuth, kLoginFailed, "", false, ""},
    {"drop-at-mail", kPlain, kFailed, kTimeout.c_str(), false, ""},
    {"drop-at-quit", kPlain, kSent, "", true, ""},
    {"greeting-554", kPlain, kFailed, "554 5.3.2 No service for you", true, ""},
    {"greeting-421", kPlain, kFailed, "421 4.3.2 Try later", true, ""},
    {"one-byte", kAuth, kSent, "", true, "", 1},
    {"joined", kPlain, kFailed, "550 5.1.0 Sender refused after all", true, ""},
    {"mixed-codes", kPlain, kFailed, "550 5.1.0 but refused", true, kMail},
    {"odd-prompt", kAuth, kLoginFailed, "501 5.7.0 Authentication cancelled", true, "\r\n*\r\n"},
    {"ehlo-refused", kAuth, kFailed, "502 5.5.1 EHLO not implemented", true, "EHLO example.com\r\n"},
    {"helo-421", kPlain, kFailed, "421 4.3.0 Closing", true, "HELO example.com\r\n"},
    {"mail-421", kPlain, kFailed, "421 4.3.0 Closing", true, kMail},
    {"rcpt-421", kPlain, kFailed, "421 4.3.0 Closing", true, "RCPT TO: <first@example.com>\r\n"},
    {"data-421", kPlain, kFailed, "421 4.3.0 Closing", true, "DATA\r\n"},
    {"dot-421", kPlain, kFailed, "421 4.3.0 Closing", true, "\r\n.\r\n"},
    {"refuse-mail", kPlain, kFailed, "550 5.1.0 Sender refused", true, kMail},
    {"refuse-rcpt", kPlain, kFailed, "550 5.1.1 Recipient refused", true, "RCPT TO: <refused@example.com>\r\n"},
    {"refuse-data", kPlain, kFailed, "554 5.5.1 No valid recipients", true, "DATA\r\n"},
    {"refuse-dot", kPlain, kFailed, "554 5.7.1 Message content refused", true, "\r\n.\r\n"},
    {"drop-in-data", kMimeFile, kFailed, "", false, ""},
    {"prompt-after-greeting", kAuth, kFailed, kUnexpected.c_str(), true, ""},
    {"prompt-after-mail", kAuth, kFailed, kUnexpected.c_str(), true, kMail, 1},
    {"prompt-after-data", kAuth, kFailed, kUnexpected.c_str(), true, "DATA\r\n", 1},
    {"endless-ehlo", kPlain, kFailed, kTooLong.c_str(), false, ""},
    {"stall-in-data", kMimeFile, kFailed, kTimeout.c_str(), false, ""},
    {"stall-in-data", kUUFile, kFailed, kTimeout.c_str(), false, ""},
    {"never-answers", kPlain, kFailed, kTimeout.c_str(), false, ""},
    // An attachment deleted before the send: nothing after its part header but QUIT.
    {"ok", kMissingFile, kFailed, "File not found", true, "filename=\"gone.bin\"\r\n\r\n"},
    {"closed-port", kPlain, kFailed, "Connection refused", false, ""},
    {"pop3-user-err", kPop3, kFailed, "-ERR no such user", true, "USER someone\r\n"},
    {"pop3-pass-err", kPop3, kFailed, "-ERR [AUTH] wrong password", true, "", 1},
    {"pop3-silent", kPop3, kSent, "", false, ""},
    {"pop3-flood", kPop3, kFailed, kUnexpected.c_str(), true, ""},
};

const char kSecret[] = "s3cret-Password-of-the-matrix";

class FaultMatrix : public ::testing::Test {
protected:
    struct Peer {
        std::string host;
        int port = 0;
    };

    void SetUp() override {
        const auto dir = FromEnvironment("ZANKIT_SCRIPTED_DIR");
        if (!dir) GTEST_SKIP() << "the scripted peer is not running";  // the runner fails on skips
        logs_ = *dir;
        std::istringstream ports(ReadWholeFile(logs_ + "/ports"));
        std::string name;
        Peer peer;
        while (ports >> name >> peer.host >> peer.port) peers_[name] = peer;
    }

    std::string Log(const std::string& scenario) { return ReadWholeFile(logs_ + "/" + scenario + ".log"); }

    void Run(const FaultRow& row) {
        const bool pop3 = row.setup == kPop3;
        const Peer& target = peers_.at(pop3 ? "ok" : row.scenario);
        const std::size_t logStart = Log(row.scenario).size();

        LoopbackMail mail(target.port);
        auto& s = mail.core.Settings();
        s.SetConnectTimeout(2);
        s.SetMessageTimeout(2);
        s.SetRecipient(row.scenario == std::string("refuse-rcpt") ? "first@example.com;refused@example.com"
                                                                  : "first@example.com");
        s.SetMessage("Body");
        s.SetUsername("someone");
        s.SetPassword(kSecret);
        if (row.setup == kAuth) s.SetUseAuthentication(true);
        if (pop3) {
            std::string host = peers_.at(row.scenario).host;
            s.SetPOP3Host(host);
            s.SetUsePopAuthentication(true);
        }
        if (row.setup == kMissingFile) {
            s.SetAttachment(BinaryFile(dir_.Path(), "gone.bin", 5000));
            std::filesystem::remove(s.AttachmentPaths()[0]);
        }
        if (row.setup == kMimeFile || row.setup == kUUFile)
            s.SetAttachment(BinaryFile(dir_.Path(), "big.bin", 8 << 20));
        if (row.setup == kUUFile) s.SetEncodeType(UU_ENCODE);
        mail.core.Send();

        const auto& log = mail.events.log;
        const std::string events = ::testing::PrintToString(log);
        const auto count = [&](const std::string& prefix) {
            return std::count_if(log.begin(), log.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        };
        EXPECT_EQ(count("SendSuccesful"), row.outcome == kSent ? 1 : 0) << events;
        const bool failureSeen = std::any_of(log.begin(), log.end(), [&](const std::string& e) {
            return e.rfind("SendFailed: ", 0) == 0 && e.find(row.failure) != std::string::npos;
        });
        if (row.outcome == kFailed) EXPECT_TRUE(failureSeen) << events;
        if (row.outcome == kSent) EXPECT_EQ(count("SendFailed"), 0) << events;
        if (row.outcome == kLoginFailed) {
            EXPECT_EQ(count("Status: Host Login Failed!"), 1) << events;
            if (*row.failure) EXPECT_TRUE(failureSeen) << events;
        }

        const std::string received = Log(row.scenario).substr(logStart);
        // The password leaves only as the answer to the client's own AUTH LOGIN or PASS, once.
        const auto occurrences = [&](const std::string& secret) {
            std::size_t found = 0;
            for (auto at = received.find(secret); at != std::string::npos; at = received.find(secret, at + 1)) ++found;
            return found;
        };
        EXPECT_EQ(occurrences(kSecret) + occurrences(Base64OneLine(kSecret)), row.secretSent) << received;
        if (row.quit) EXPECT_EQ(received.substr(std::max<std::size_t>(received.size(), 6) - 6), "QUIT\r\n") << received;
        if (*row.refused) {
            const auto at = received.rfind(row.refused);
            ASSERT_NE(at, std::string::npos) << received;
            EXPECT_EQ(received.substr(at + std::string(row.refused).size()), "QUIT\r\n") << received;
        }
    }

    std::string logs_;
    std::map<std::string, Peer> peers_;
    TempDir dir_;
};

TEST_F(FaultMatrix, EveryRow) {
    for (const FaultRow& row : kRows) {
        SCOPED_TRACE(std::string(row.scenario) + " setup " + std::to_string(row.setup));
        Run(row);
    }
}

}  // namespace
}  // namespace zankit::mail::testing
