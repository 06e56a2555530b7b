#include <gtest/gtest.h>

#include <functional>

#include "mail/mail_core.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::RecordingEvents;
using testing::ScriptedSystem;
using testing::SharedStore;
using testing::TempDir;
using testing::WriteFile;

class SettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<SendMailCore> MakeCore() {
        auto scripted = std::make_unique<ScriptedSystem>();
        system = scripted.get();
        return std::make_unique<SendMailCore>(std::move(scripted), std::make_unique<SharedStore>(store), events);
    }
    void SetUp() override {
        core = MakeCore();
        s = &core->Settings();
    }
    bool Pending(std::string_view message) { return core->Errors().Contains(message); }

    MemoryStore store;
    RecordingEvents events;
    ScriptedSystem* system = nullptr;
    std::unique_ptr<SendMailCore> core;
    MailSettings* s = nullptr;
};

TEST_F(SettingsTest, NewObjectHasTheDefaults) {
    EXPECT_EQ((std::vector<std::int32_t>{s->SMTPPort(), s->ConnectTimeout(), s->MessageTimeout(), s->ConnectRetry(),
                                         s->MaxRecipients(), s->EmailAddressValidation(), s->SMTPHostValidation(),
                                         s->EncodeType(), s->Priority()}),
              (std::vector<std::int32_t>{25, 40, 60, 4, 100, VALIDATE_SYNTAX, VALIDATE_HOST_DNS, MIME_ENCODE,
                                         NORMAL_PRIORITY}));
    EXPECT_EQ(s->Delimiter(), ";");
    EXPECT_FALSE(s->PersistentSettings() || s->AsHTML());
    EXPECT_TRUE(core->Errors().Empty());
    EXPECT_EQ(core->TimeZone(), "+0100");  // from the scripted bias of -60 minutes
}

// Each row runs on a new object; the complaints are the pending errors afterwards.
TEST_F(SettingsTest, SettersNormaliseAndComplain) {
    using Set = std::function<void(MailSettings&)>;
    using Get = std::function<std::string(const MailSettings&)>;
    const auto number = [](std::int32_t (MailSettings::*get)() const) {
        return [get](const MailSettings& m) { return std::to_string((m.*get)()); };
    };
    // clang-format off
    const struct {
        const char* what;
        Set set;
        Get get;
        std::string stored;
        TextList complaints;
    } rows[] = {
        {"recipient list ending in the delimiter", [](MailSettings& m) { m.SetRecipient("a@example.com;"); },
         &MailSettings::Recipient, "a@example.com;", {std::string(kInvalidRecipient)}},
        {"list trimmed and joined at another delimiter",
         [](MailSettings& m) { m.SetDelimiter(","); m.SetRecipient("a@example.com , b@example.de"); },
         &MailSettings::Recipient, "a@example.com,b@example.de", {}},
        {"Cc and Bcc checked on their own",
         [](MailSettings& m) { m.SetCcRecipient("a@example.com,bad"); m.SetBccRecipient("nope"); },
         &MailSettings::CcRecipient, "a@example.com,bad", {std::string(kInvalidCc), std::string(kInvalidBcc)}},
        {"a good list takes its complaint back",
         [](MailSettings& m) { m.SetCcRecipient("nope"); m.SetCcRecipient("c@example.com"); },
         &MailSettings::CcRecipient, "c@example.com", {}},
        {"no address check without validation",
         [](MailSettings& m) { m.SetEmailAddressValidation(VALIDATE_NONE); m.SetBccRecipient("nope"); },
         &MailSettings::BccRecipient, "nope", {}},
        {"sender trimmed", [](MailSettings& m) { m.SetFrom("  me@example.com  "); }, &MailSettings::From,
         "me@example.com", {}},
        {"sender checked", [](MailSettings& m) { m.SetFrom("me"); }, &MailSettings::From, "me",
         {std::string(kInvalidSender)}},
        {"names trimmed, not checked", [](MailSettings& m) { m.SetRecipientDisplayName(" Anna ;\tBen\r\n"); },
         [](const MailSettings& m) { return JoinList(m.RecipientDisplayNames(), "|"); }, "Anna|Ben", {}},
        {"reply-to trimmed", [](MailSettings& m) { m.SetReplyToAddress(" r@x.com "); },
         &MailSettings::ReplyToAddress, "r@x.com", {}},
        {"ConnectTimeout 0 refused", [](MailSettings& m) { m.SetConnectTimeout(0); },
         number(&MailSettings::ConnectTimeout), "40", {}},
        {"ConnectTimeout 121 refused", [](MailSettings& m) { m.SetConnectTimeout(121); },
         number(&MailSettings::ConnectTimeout), "40", {}},
        {"ConnectTimeout 120", [](MailSettings& m) { m.SetConnectTimeout(120); },
         number(&MailSettings::ConnectTimeout), "120", {}},
        {"ConnectRetry 21 refused", [](MailSettings& m) { m.SetConnectRetry(21); },
         number(&MailSettings::ConnectRetry), "4", {}},
        {"MaxRecipients -5", [](MailSettings& m) { m.SetMaxRecipients(-5); },
         number(&MailSettings::MaxRecipients), "5", {}},
        {"MessageTimeout lowest", [](MailSettings& m) { m.SetMessageTimeout(INT32_MIN); },
         number(&MailSettings::MessageTimeout), std::to_string(INT32_MAX), {}},
        {"SMTPPort 0", [](MailSettings& m) { m.SetSMTPPort(0); }, number(&MailSettings::SMTPPort), "25",
         {std::string(kInvalidPort)}},
        {"SMTPPort 65536", [](MailSettings& m) { m.SetSMTPPort(65536); }, number(&MailSettings::SMTPPort), "25",
         {std::string(kInvalidPort)}},
        {"SMTPPort 587 takes the complaint back", [](MailSettings& m) { m.SetSMTPPort(0); m.SetSMTPPort(587); },
         number(&MailSettings::SMTPPort), "587", {}},
        {"one delimiter character", [](MailSettings& m) { m.SetDelimiter(";,"); }, &MailSettings::Delimiter, ";", {}},
        {"content base made a URL", [](MailSettings& m) { m.SetContentBase("www.example.com\\pics"); },
         &MailSettings::ContentBase, "http://www.example.com/pics/", {}},
        {"content base with scheme", [](MailSettings& m) { m.SetContentBase("HTTP://example.com/"); },
         &MailSettings::ContentBase, "HTTP://example.com/", {}},
        {"a priority without text keeps the one before",
         [](MailSettings& m) { m.SetPriority(HIGH_PRIORITY); m.SetPriority(2); },
         [](const MailSettings& m) { return std::to_string(m.Priority()) + " " + m.PriorityText(); }, "2 High", {}},
        {"low priority", [](MailSettings& m) { m.SetPriority(LOW_PRIORITY); }, &MailSettings::PriorityText, "Low",
         {}},
        {"the message is kept as set (dots are doubled on the wire)", [](MailSettings& m) { m.SetMessage(".hi\r\nthere"); },
         &MailSettings::Message, ".hi\r\nthere", {}},
        {"eight-bit message", [](MailSettings& m) { m.SetMessage("gr\xFC\xDF"); },
         [](const MailSettings& m) { return std::to_string(m.HasEightBit()); }, "1", {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        row.set(*s);
        EXPECT_EQ(row.get(*s), row.stored);
        EXPECT_EQ(core->Errors().Messages(), row.complaints);
    }
}

TEST_F(SettingsTest, HostRuleFollowsTheValidationMode) {
    system->names = {{"mail.example.com", {192, 0, 2, 1}}, {"intranet", {10, 1, 2, 3}}};
    system->echoAnswer = testing::EchoReply();
    std::string host{"mail.example.com\0", 17};
    s->SetSMTPHost(host);
    EXPECT_EQ(host, "mail.example.com");  // the caller's text comes back without NUL
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    host = "unknown.example.com";
    s->SetSMTPHost(host);
    EXPECT_TRUE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "mail.example.com");
    host = "";
    s->SetSMTPHost(host);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "");

    s->SetSMTPHostValidation(VALIDATE_HOST_NONE);
    host = "intranet";
    s->SetSMTPHost(host);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    s->SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);  // checks the host again
    EXPECT_TRUE(Pending(kInvalidSmtpHost));
    s->SetSMTPHostValidation(VALIDATE_HOST_PING);
    s->SetSMTPHost(host);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "intranet");  // not the address Ping wrote back

    std::string pop = "pop.example.nowhere";
    s->SetPOP3Host(pop);
    EXPECT_TRUE(Pending(kInvalidPop3Host));
}

TEST_F(SettingsTest, AttachmentsCountNamesAndSizes) {
    TempDir dir;
    const std::string first = (dir.Path() / "first.txt").string();
    const std::string second = (dir.Path() / "second.bin").string();
    const std::string hidden = (dir.Path() / ".hidden").string();
    const std::string big = (dir.Path() / "big.bin").string();
    WriteFile(first, "12345");
    WriteFile(second, std::string(1000, 'x'));
    WriteFile(hidden, "h");
    WriteFile(big, "");
    std::filesystem::resize_file(big, 3ULL << 30);  // sparse
    const struct {
        std::string attachment;
        bool missing;
        std::uint64_t bytes;
        TextList names;
    } rows[] = {
        {first + ";" + second, false, 1005, {"first.txt", "second.bin"}},
        {"C:\\docs\\missing.txt", true, 0, {""}},
        {first + ";" + (dir.Path() / "gone").string() + ";" + second, true, 5, {"first.txt", "", ""}},
        {dir.Path().string(), true, 0, {""}},  // a folder is not a file
        {hidden, false, 1, {".hidden"}},
        {big + ";" + big, false, 6ULL << 30, {"big.bin", "big.bin"}},  // beyond 2 GiB without overflow
        {"", false, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.attachment);
        s->SetAttachment(row.attachment);
        EXPECT_EQ(Pending(kMissingAttachment), row.missing);
        EXPECT_EQ(s->AttachmentCount(), static_cast<std::int32_t>(row.names.size()));
        EXPECT_EQ(s->AttachmentBytes(), row.bytes);
        EXPECT_EQ(s->AttachmentNames(), row.names);
    }
}

TEST_F(SettingsTest, SettingsAreWrittenOnlyWhilePersistenceIsOnAndLoadedWithoutChecks) {
    s->SetSMTPPort(2525);
    EXPECT_EQ(store.writes, 0);
    s->SetPersistentSettings(true);
    s->SetMessageTimeout(-30);
    s->SetUseAuthentication(true);
    s->SetFrom(" me@example.com ");
    s->SetConnectTimeout(500);  // refused: nothing written
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"PersistentSettings", "-1"},
                                                                {"MessageTimeout", "30"},
                                                                {"UseAuthentication", "-1"},
                                                                {"From", " me@example.com "}}));
    s->SetPersistentSettings(false);
    EXPECT_EQ(store.values["PersistentSettings"], "0");
    EXPECT_FALSE(MakeCore()->Settings().PersistentSettings());

    store.values = {{"PersistentSettings", "True"},
                    {"From", "not an address"},
                    {"RemotePort", "99999"},
                    {"MaxRecipients", "0"},
                    {"ConnectTimeout", "junk"}};
    const auto loaded = MakeCore();
    const MailSettings& l = loaded->Settings();
    EXPECT_EQ(l.From(), "not an address");
    EXPECT_EQ((std::vector<std::int32_t>{l.PersistentSettings(), l.SMTPPort(), l.MaxRecipients(), l.ConnectTimeout()}),
              (std::vector<std::int32_t>{1, 99999, 100, 40}));
    EXPECT_TRUE(loaded->Errors().Empty());
}

TEST_F(SettingsTest, PersistentSettingsComeBackInTheNextObject) {
    s->SetPersistentSettings(true);
    s->SetFrom("sender@example.com");
    s->SetFromDisplayName("Line=one\nline two");
    s->SetSMTPPort(2525);
    s->SetEncodeType(UU_ENCODE);
    s->SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
    std::string host = "smtp.example.com";
    s->SetSMTPHost(host);
    s->SetUsername("user");
    s->SetUsePopAuthentication(true);
    s->SetMaxRecipients(7);
    s->SetSubject("not remembered");
    const auto next = MakeCore();
    const MailSettings& n = next->Settings();
    EXPECT_EQ((TextList{n.From(), n.FromDisplayName(), n.SMTPHost(), n.Username(), n.Subject()}),
              (TextList{"sender@example.com", "Line=one\nline two", "smtp.example.com", "user", ""}));
    EXPECT_EQ((std::vector<std::int32_t>{n.PersistentSettings(), n.SMTPPort(), n.EncodeType(), n.SMTPHostValidation(),
                                         n.UsePopAuthentication(), n.MaxRecipients()}),
              (std::vector<std::int32_t>{1, 2525, UU_ENCODE, VALIDATE_HOST_SYNTAX, 1, 7}));
}

}  // namespace
}  // namespace zankit::mail
