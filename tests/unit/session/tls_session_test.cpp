// The session's TLS rules over a scripted channel and a scripted TLS engine: when it upgrades,
// what it drops, that nothing but EHLO, STARTTLS and QUIT leaves in the clear when TLS is
// required, and which login mechanism it picks. The engine is a stand-in (records are the
// bytes inverted behind a length) because the native build has no TLS of its own; the real
// one is driven under Wine against real servers.
#include <gtest/gtest.h>

#include "mail/auth_rules.h"
#include "mail/hmac_md5.h"
#include "session_test_support.h"

namespace zankit::mail::testing {
namespace {

std::string Record(std::string_view plain) {
    std::string record{'\x17', static_cast<char>(plain.size() >> 8), static_cast<char>(plain.size() & 0xFF)};
    for (char c : plain) record.push_back(static_cast<char>(~c));
    return record;
}

// Takes whole records from the front of input; their plain text.
std::string OpenRecords(std::string& input) {
    std::string plain;
    while (input.size() >= 3) {
        const std::size_t size = static_cast<unsigned char>(input[1]) << 8 | static_cast<unsigned char>(input[2]);
        if (input.size() < 3 + size) break;
        for (std::size_t i = 0; i < size; ++i) plain.push_back(static_cast<char>(~input[3 + i]));
        input.erase(0, 3 + size);
    }
    return plain;
}

// Client hello "<hello NAME>", server answer "<welcome>" or "<alert TEXT>".
class ScriptedTls : public TlsEngine {
public:
    TlsStep Begin(const std::string& serverName, bool) override {
        TlsStep step;
        step.output = "<hello " + serverName + ">";
        return step;
    }
    TlsStep Handshake(std::string& input) override {
        TlsStep step;
        const std::size_t end = input.find('>');
        if (end == std::string::npos) return step;
        step.done = input.rfind("<welcome>", 0) == 0;
        step.failed = !step.done;
        step.error = input.substr(7, end - 7);
        input.erase(0, end + 1);
        return step;
    }
    std::size_t MaxRecordPlainBytes() const override { return 1000; }
    bool Encrypt(std::string_view plain, std::string& out) override { return out.append(Record(plain)), true; }
    TlsStep Decrypt(std::string& input, std::string& plain) override { return plain += OpenRecords(input), TlsStep(); }
    std::string Shutdown() override { return Record("<bye>"); }
};

struct TlsRow {
    const char* name;
    std::int32_t security;
    const char* ehlo;         // the EHLO reply before TLS
    const char* startTls;     // what answers STARTTLS
    const char* handshake;    // the server's answer to the hello; "" hangs up
    const char* outcome;      // "" for a successful send, else the SendFailed text
    const char* clearPrefix;  // everything the client wrote in the clear
};

const TlsRow kRows[] = {
    {"upgrade", SECURITY_STARTTLS_REQUIRED, "250-x\r\n250 STARTTLS\r\n", "220 Ready to start TLS\r\n", "<welcome>", "",
     "EHLO example.com\r\nSTARTTLS\r\n"},
    {"forged reply in the 220 packet", SECURITY_STARTTLS_REQUIRED, "250-x\r\n250 STARTTLS\r\n",
     "220 Ready to start TLS\r\n250-forged\r\n250 AUTH LOGIN\r\n", "<welcome>", "", "EHLO example.com\r\nSTARTTLS\r\n"},
    {"not offered, required", SECURITY_STARTTLS_REQUIRED, "250 x\r\n", "", "", "TLS not offered by server",
     "EHLO example.com\r\nQUIT\r\n"},
    {"not offered, optional", SECURITY_STARTTLS, "250 AUTH PLAIN LOGIN\r\n", "", "", "", "EHLO example.com\r\nAUTH LOGIN"},
    {"refused certificate", SECURITY_STARTTLS_REQUIRED, "250 STARTTLS\r\n", "220 go\r\n", "<alert Certificate not trusted>",
     "Certificate not trusted", "EHLO example.com\r\nSTARTTLS\r\n"},
    {"hang-up after 220", SECURITY_STARTTLS_REQUIRED, "250 STARTTLS\r\n", "220 go\r\n", "",
     "Connection closed during the TLS handshake", "EHLO example.com\r\nSTARTTLS\r\n"},
    {"TLS from the first byte", SECURITY_TLS, "", "", "<welcome>", "", ""},
};

class TlsSession : public ::testing::TestWithParam<TlsRow> {
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
        s.SetConnectTimeout(3);
        s.SetMessageTimeout(3);
    }

    // The server: answers each complete line, in the clear until STARTTLS, then in records.
    void Serve() {
        const TlsRow& row = GetParam();
        if (encrypted_ && !helloDone_) {
            const std::size_t end = script_.written.find('>', seen_);
            if (end == std::string::npos) return;
            seen_ = end + 1;
            helloDone_ = true;
            script_.incoming += row.handshake;
            script_.peerCloses = *row.handshake == '\0';
            if (row.security == SECURITY_TLS) script_.incoming += Record("220 hi\r\n");
            return;
        }
        std::string pending = script_.written.substr(seen_);
        const std::size_t before = pending.size();
        lines_ += encrypted_ ? OpenRecords(pending) : pending;
        seen_ += before - (encrypted_ ? pending.size() : 0);
        for (std::size_t end; (end = lines_.find("\r\n")) != std::string::npos;) {
            const std::string line = lines_.substr(0, end);
            lines_.erase(0, end + 2);
            if (inData_ && line != ".") continue;
            inData_ = line == "DATA";
            std::string reply = inData_ ? "354 go\r\n" : line == "QUIT" ? "221 bye\r\n" : "250 ok\r\n";
            if (line.rfind("EHLO", 0) == 0) reply = encrypted_ ? "250-y\r\n250 AUTH PLAIN LOGIN\r\n" : row.ehlo;
            if (line.rfind("AUTH", 0) == 0) reply = "235 welcome\r\n";
            if (line == "STARTTLS") {
                script_.incoming += row.startTls;
                encrypted_ = true;
                return;
            }
            script_.incoming += encrypted_ ? Record(reply) : reply;
        }
    }

    OrderedEvents events_;
    ChannelScript script_;
    std::unique_ptr<SendMailCore> core_;
    std::size_t seen_ = 0;
    std::string lines_;
    bool encrypted_ = GetParam().security == SECURITY_TLS;
    bool helloDone_ = false;
    bool inData_ = false;
};

TEST_P(TlsSession, SendsOnlyWhatIsSafeInTheClear) {
    const TlsRow& row = GetParam();
    core_->Settings().SetSecurity(row.security);
    script_.incoming = row.security == SECURITY_TLS ? "" : "220 hi\r\n";
    core_->Send();
    std::vector<std::string> outcomes;
    for (const std::string& event : events_.log) {
        if (event.rfind("Send", 0) == 0) outcomes.push_back(event);
    }
    const std::string expected = *row.outcome ? "SendFailed: " + std::string(row.outcome) + "\r\n" : "SendSuccesful";
    EXPECT_EQ(outcomes, std::vector<std::string>{expected});
    std::string written = script_.written;
    const std::string clear = written.substr(0, written.find("<hello"));
    EXPECT_EQ(clear.rfind(row.clearPrefix, 0), 0u) << clear;
    if (row.security == SECURITY_STARTTLS) return;  // the plain session goes on in the clear
    EXPECT_EQ(clear, row.clearPrefix);
    if (*row.outcome != '\0') return;
    // After the handshake: EHLO again, the offer made then (PLAIN), the message, QUIT, the alert.
    written.erase(0, written.find('>') + 1);
    const std::string secret = OpenRecords(written);
    EXPECT_EQ(secret.rfind("EHLO example.com\r\nAUTH PLAIN AG1lAHNlY3JldA==\r\nMAIL FROM: <me@example.com>\r\n", 0),
              0u)
        << secret;
    EXPECT_EQ(secret.substr(secret.size() - 11), "QUIT\r\n<bye>");
    EXPECT_TRUE(written.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, TlsSession, ::testing::ValuesIn(kRows), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(TlsLogin, MechanismChoice) {
    const std::vector<std::string> lines = {"250-x", "250-AUTH LOGIN PLAIN CRAM-MD5", "250 AUTH=XOAUTH2"};
    const ServerOffer full = ServerOfferOf(lines, "250-x\r\n250-AUTH LOGIN PLAIN CRAM-MD5\r\n250 AUTH=XOAUTH2\r\n");
    const ServerOffer cramOnly = ServerOfferOf({"250 AUTH CRAM-MD5"}, "250 AUTH CRAM-MD5\r\n");
    struct Row {
        std::int32_t requested;
        const ServerOffer& offer;
        bool encrypted, token;
        LoginMechanism expected;
    } const rows[] = {
        {AUTH_AUTOMATIC, full, false, true, LoginMechanism::Login},  // in the clear as it always was
        {AUTH_AUTOMATIC, cramOnly, false, false, LoginMechanism::None},
        {AUTH_AUTOMATIC, full, true, false, LoginMechanism::Plain},
        {AUTH_AUTOMATIC, full, true, true, LoginMechanism::XOAuth2},
        {AUTH_AUTOMATIC, cramOnly, true, false, LoginMechanism::CramMd5},
        {AUTH_PLAIN, cramOnly, true, false, LoginMechanism::None},
        {AUTH_CRAM_MD5, full, false, false, LoginMechanism::CramMd5},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseLoginMechanism(row.requested, row.offer, row.encrypted, row.token), row.expected)
            << &row - rows;
    }
}

TEST(TlsLogin, ResponsesOfTheMechanisms) {
    // The CRAM-MD5 example exchange of its RFC, and HMAC-MD5 with a key longer than a block.
    const std::string challenge = "334 " + Base64OneLine("<1896.697170952@postoffice.reston.mci.net>") + "\r\n";
    EXPECT_EQ(DecodeBase64String(CramMd5Answer(challenge, "tim", "tanstaaftanstaaf")),
              "tim b913a602c7eda7a495b4e6e7334d3890");
    EXPECT_EQ(HexDigest(HmacMd5(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First")),
              "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
    EXPECT_EQ(DecodeBase64String(XOAuth2InitialResponse("a@b.c", "tok")), "user=a@b.c\x01" "auth=Bearer tok\x01\x01");
}

}  // namespace
}  // namespace zankit::mail::testing
