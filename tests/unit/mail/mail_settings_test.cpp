#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_EQ(s->SMTPPort(), 25);
    EXPECT_EQ(s->ConnectTimeout(), 40);
    EXPECT_EQ(s->MessageTimeout(), 60);
    EXPECT_EQ(s->ConnectRetry(), 4);
    EXPECT_EQ(s->MaxRecipients(), 100);
    EXPECT_EQ(s->EmailAddressValidation(), VALIDATE_SYNTAX);
    EXPECT_EQ(s->SMTPHostValidation(), VALIDATE_HOST_DNS);
    EXPECT_EQ(s->EncodeType(), MIME_ENCODE);
    EXPECT_EQ(s->Priority(), NORMAL_PRIORITY);
    EXPECT_EQ(s->PriorityText(), "");
    EXPECT_EQ(s->Delimiter(), ";");
    EXPECT_FALSE(s->PersistentSettings());
    EXPECT_FALSE(s->AsHTML());
    EXPECT_TRUE(core->Errors().Empty());
    EXPECT_EQ(core->TimeZone(), "+0100");  // from the scripted bias of -60 minutes
}

TEST_F(SettingsTest, RecipientListsAreCleanedAndChecked) {
    s->SetRecipient("a@example.com;");
    EXPECT_TRUE(Pending(kInvalidRecipient));
    s->SetRecipient("");
    EXPECT_FALSE(Pending(kInvalidRecipient));
    EXPECT_TRUE(s->Recipients().empty());

    s->SetDelimiter(",");
    s->SetRecipient("a@example.com , b@example.de");
    EXPECT_FALSE(Pending(kInvalidRecipient));
    EXPECT_EQ(s->Recipient(), "a@example.com,b@example.de");

    s->SetCcRecipient("a@example.com,bad,c@nowhere.xx");
    EXPECT_TRUE(Pending(kInvalidCc));
    s->SetBccRecipient("nope");
    EXPECT_TRUE(Pending(kInvalidBcc));
    EXPECT_EQ(core->Errors().Messages().size(), 2u);
    s->SetCcRecipient("c@example.com");
    EXPECT_FALSE(Pending(kInvalidCc));

    s->SetEmailAddressValidation(VALIDATE_NONE);
    s->SetBccRecipient("nope");
    EXPECT_FALSE(Pending(kInvalidBcc));
    EXPECT_FALSE(core->IsValidEmailAddress("nope"));
}

TEST_F(SettingsTest, SenderAndNamesAreTrimmedOnlyTheSenderChecked) {
    s->SetRecipientDisplayName(" Anna ;\tBen\r\n");
    EXPECT_EQ(s->RecipientDisplayNames(), (TextList{"Anna", "Ben"}));
    s->SetFromDisplayName("  Me  ");
    EXPECT_EQ(s->FromDisplayName(), "Me");
    s->SetReplyToAddress(" r@example.com ");
    EXPECT_EQ(s->ReplyToAddress(), "r@example.com");
    EXPECT_TRUE(core->Errors().Empty());

    s->SetFrom("  me@example.com  ");
    EXPECT_EQ(s->From(), "me@example.com");
    EXPECT_FALSE(Pending(kInvalidSender));
    s->SetFrom("me");
    EXPECT_TRUE(Pending(kInvalidSender));
}

TEST_F(SettingsTest, NumbersOutOfRangeAreRefusedNegativeOnesTurnedPositive) {
    using Setter = void (MailSettings::*)(std::int32_t);
    using Getter = std::int32_t (MailSettings::*)() const;
    const struct {
        const char* what;
        Setter set;
        Getter get;
        std::int32_t value;
        std::int32_t stored;
        std::string_view complaint;  // empty: none
    } rows[] = {
        {"ConnectTimeout 0", &MailSettings::SetConnectTimeout, &MailSettings::ConnectTimeout, 0, 40, {}},
        {"ConnectTimeout 121", &MailSettings::SetConnectTimeout, &MailSettings::ConnectTimeout, 121, 40, {}},
        {"ConnectTimeout 120", &MailSettings::SetConnectTimeout, &MailSettings::ConnectTimeout, 120, 120, {}},
        {"ConnectRetry 21", &MailSettings::SetConnectRetry, &MailSettings::ConnectRetry, 21, 4, {}},
        {"ConnectRetry 1", &MailSettings::SetConnectRetry, &MailSettings::ConnectRetry, 1, 1, {}},
        {"MaxRecipients -5", &MailSettings::SetMaxRecipients, &MailSettings::MaxRecipients, -5, 5, {}},
        {"MessageTimeout -30", &MailSettings::SetMessageTimeout, &MailSettings::MessageTimeout, -30, 30, {}},
        {"MessageTimeout lowest",
         &MailSettings::SetMessageTimeout,
         &MailSettings::MessageTimeout,
         INT32_MIN,
         INT32_MAX,
         {}},
        {"SMTPPort 0", &MailSettings::SetSMTPPort, &MailSettings::SMTPPort, 0, 25, kInvalidPort},
        {"SMTPPort 65536", &MailSettings::SetSMTPPort, &MailSettings::SMTPPort, 65536, 25, kInvalidPort},
        {"SMTPPort 587", &MailSettings::SetSMTPPort, &MailSettings::SMTPPort, 587, 587, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        (s->*row.set)(row.value);
        EXPECT_EQ((s->*row.get)(), row.stored);
        EXPECT_EQ(core->Errors().Messages(), row.complaint.empty() ? TextList{} : TextList{std::string(row.complaint)});
    }
}

TEST_F(SettingsTest, TextNormalisations) {
    s->SetDelimiter(";,");
    EXPECT_EQ(s->Delimiter(), ";");
    const struct {
        const char* given;
        const char* stored;
    } bases[] = {{"www.example.com\\pics", "http://www.example.com/pics/"},
                 {"HTTP://example.com/", "HTTP://example.com/"},
                 {"", ""}};
    for (const auto& base : bases) {
        s->SetContentBase(base.given);
        EXPECT_EQ(s->ContentBase(), base.stored);
    }

    s->SetPriority(HIGH_PRIORITY);
    EXPECT_EQ(s->PriorityText(), "High");
    s->SetPriority(2);  // a value without a text keeps the one before
    EXPECT_EQ(s->Priority(), 2);
    EXPECT_EQ(s->PriorityText(), "High");
    s->SetPriority(LOW_PRIORITY);
    EXPECT_EQ(s->PriorityText(), "Low");

    s->SetMessage(".hi\r\nthere");
    EXPECT_EQ(s->Message(), "..hi\r\nthere");
    EXPECT_FALSE(s->HasEightBit());
    s->SetMessage("gr\xFC\xDF");
    EXPECT_TRUE(s->HasEightBit());
}

TEST_F(SettingsTest, HostRuleFollowsTheValidationMode) {
    system->names["mail.example.com"] = IPv4Bytes{192, 0, 2, 1};
    std::string host{"mail.example.com\0", 17};
    s->SetSMTPHost(host);
    EXPECT_EQ(host, "mail.example.com");  // the caller's text comes back without NUL
    EXPECT_EQ(s->SMTPHost(), "mail.example.com");
    EXPECT_FALSE(Pending(kInvalidSmtpHost));

    std::string unknown = "unknown.example.com";
    s->SetSMTPHost(unknown);
    EXPECT_TRUE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "mail.example.com");

    std::string empty;
    s->SetSMTPHost(empty);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "");

    std::string pop = "pop.example.nowhere";
    s->SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
    s->SetPOP3Host(pop);
    EXPECT_TRUE(Pending(kInvalidPop3Host));
    pop = "pop.example.net";
    s->SetPOP3Host(pop);
    EXPECT_FALSE(Pending(kInvalidPop3Host));
    EXPECT_EQ(s->POP3Host(), "pop.example.net");
}

TEST_F(SettingsTest, ChangingTheHostModeChecksTheSmtpHostAgain) {
    s->SetSMTPHostValidation(VALIDATE_HOST_NONE);
    std::string host = "intranet";
    s->SetSMTPHost(host);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    s->SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
    EXPECT_TRUE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "intranet");

    s->SetSMTPHostValidation(VALIDATE_HOST_PING);
    system->echoAnswer = testing::EchoReply();
    system->names["intranet"] = IPv4Bytes{10, 1, 2, 3};
    std::string again = "intranet";
    s->SetSMTPHost(again);
    EXPECT_FALSE(Pending(kInvalidSmtpHost));
    EXPECT_EQ(s->SMTPHost(), "intranet");  // not the address Ping wrote back
}

TEST_F(SettingsTest, AttachmentsCountNamesAndSizes) {
    TempDir dir;
    const std::string first = (dir.Path() / "first.txt").string();
    const std::string second = (dir.Path() / "second.bin").string();
    const std::string hidden = (dir.Path() / ".hidden").string();
    WriteFile(first, "12345");
    WriteFile(second, std::string(1000, 'x'));
    WriteFile(hidden, "h");
    const struct {
        std::string attachment;
        bool missing;
        std::int32_t count;
        std::uint64_t bytes;
        TextList names;
    } rows[] = {
        {first + ";" + second, false, 2, 1005, {"first.txt", "second.bin"}},
        {"C:\\docs\\missing.txt", true, 1, 0, {""}},
        {first + ";" + (dir.Path() / "gone").string() + ";" + second, true, 3, 5, {"first.txt", "", ""}},
        {dir.Path().string(), true, 1, 0, {""}},  // a folder is not a file
        {hidden, false, 1, 1, {".hidden"}},
        {"", false, 0, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.attachment);
        s->SetAttachment(row.attachment);
        EXPECT_EQ(Pending(kMissingAttachment), row.missing);
        EXPECT_EQ(s->AttachmentCount(), row.count);
        EXPECT_EQ(s->AttachmentBytes(), row.bytes);
        EXPECT_EQ(s->AttachmentNames(), row.names);
    }
}

TEST_F(SettingsTest, AttachmentTotalsBeyond2GiBDoNotOverflow) {
    TempDir dir;
    const auto big = dir.Path() / "big.bin";
    {
        const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 3LL << 30), 0);
        ::close(fd);
    }
    s->SetAttachment(big.string() + ";" + big.string());
    EXPECT_FALSE(Pending(kMissingAttachment));
    EXPECT_EQ(s->AttachmentBytes(), 6ULL << 30);
}

TEST_F(SettingsTest, SettingsAreWrittenOnlyWhilePersistenceIsOn) {
    s->SetSMTPPort(2525);
    s->SetUsername("user");
    EXPECT_EQ(store.writes, 0);

    s->SetPersistentSettings(true);
    s->SetSMTPPort(2525);
    s->SetMessageTimeout(-30);
    s->SetUseAuthentication(true);
    s->SetFrom(" me@example.com ");
    s->SetConnectTimeout(500);  // refused: nothing written
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"PersistentSettings", "-1"},
                                                                {"RemotePort", "2525"},
                                                                {"MessageTimeout", "30"},
                                                                {"UseAuthentication", "-1"},
                                                                {"From", " me@example.com "}}));

    // Switching it off is remembered, and the next object starts from the defaults.
    s->SetPersistentSettings(false);
    EXPECT_EQ(store.values["PersistentSettings"], "0");
    const auto next = MakeCore();
    EXPECT_FALSE(next->Settings().PersistentSettings());
    EXPECT_EQ(next->Settings().SMTPPort(), 25);
}

TEST_F(SettingsTest, StoredValuesAreLoadedWithoutChecks) {
    store.values = {{"PersistentSettings", "True"}, {"From", "not an address"}, {"RemotePort", "99999"},
                    {"MaxRecipients", "0"},         {"ConnectTimeout", "junk"}, {"UsePopAuthentication", "-1"}};
    const auto loaded = MakeCore();
    const MailSettings& l = loaded->Settings();
    EXPECT_TRUE(l.PersistentSettings());
    EXPECT_EQ(l.From(), "not an address");
    EXPECT_EQ(l.SMTPPort(), 99999);
    EXPECT_EQ(l.MaxRecipients(), 100);
    EXPECT_EQ(l.ConnectTimeout(), 40);
    EXPECT_TRUE(l.UsePopAuthentication());
    EXPECT_FALSE(l.UseAuthentication());
    EXPECT_TRUE(loaded->Errors().Empty());
}

// Two objects sharing the per-user file store of a private home.
TEST(SettingsPersistence, RoundTripThroughTheFileStore) {
    TempDir home;
    testing::ScopedEnv config("XDG_CONFIG_HOME", home.Path().string());
    RecordingEvents events;
    {
        SendMailCore first(MakePlatformMailSystem(), MakePlatformSettingsStore("Postwerk", "Settings"), events);
        MailSettings& s = first.Settings();
        s.SetPersistentSettings(true);
        s.SetFrom("sender@example.com");
        s.SetFromDisplayName("Line=one\nline two");
        s.SetSMTPPort(2525);
        s.SetEncodeType(UU_ENCODE);
        s.SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
        std::string host = "smtp.example.com";
        s.SetSMTPHost(host);
        s.SetUsername("user");
        s.SetUsePopAuthentication(true);
        s.SetMaxRecipients(7);
        s.SetSubject("not remembered");
    }
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "zankit" / "Postwerk" / "Settings"));
    SendMailCore second(MakePlatformMailSystem(), MakePlatformSettingsStore("Postwerk", "Settings"), events);
    const MailSettings& s = second.Settings();
    EXPECT_TRUE(s.PersistentSettings());
    EXPECT_EQ(s.From(), "sender@example.com");
    EXPECT_EQ(s.FromDisplayName(), "Line=one\nline two");
    EXPECT_EQ(s.SMTPPort(), 2525);
    EXPECT_EQ(s.EncodeType(), UU_ENCODE);
    EXPECT_EQ(s.SMTPHostValidation(), VALIDATE_HOST_SYNTAX);
    EXPECT_EQ(s.SMTPHost(), "smtp.example.com");
    EXPECT_EQ(s.Username(), "user");
    EXPECT_TRUE(s.UsePopAuthentication());
    EXPECT_EQ(s.MaxRecipients(), 7);
    EXPECT_EQ(s.Subject(), "");
}

}  // namespace
}  // namespace zankit::mail
