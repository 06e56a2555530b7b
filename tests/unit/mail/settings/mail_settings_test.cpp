// The mail settings and the values they remember, over the platform with its name questions
// scripted.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "../session_test_support.h"
#include "mail/mail_core.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::OrderedEvents;
using testing::ScriptedSystem;

class SettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<SendMailCore> MakeCore() {
        auto scripted = std::make_unique<ScriptedSystem>();
        system = scripted.get();
        return std::make_unique<SendMailCore>(std::move(scripted), store.Shared(), events);
    }
    void SetUp() override {
        core = MakeCore();
        s = &core->Settings();
    }
    bool Pending(std::string_view message) { return core->Errors().Contains(message); }

    MemoryStore store;
    OrderedEvents events;
    ScriptedSystem* system = nullptr;
    std::unique_ptr<SendMailCore> core;
    MailSettings* s = nullptr;
};

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
        {"sender checked", [](MailSettings& m) { m.SetFrom("me"); }, &MailSettings::From, "me",
         {std::string(kInvalidSender)}},
        {"names trimmed, not checked", [](MailSettings& m) { m.SetRecipientDisplayName(" Anna ;\tBen\r\n"); },
         [](const MailSettings& m) { return JoinList(m.RecipientDisplayNames(), "|"); }, "Anna|Ben", {}},
        {"MaxRecipients -5", [](MailSettings& m) { m.SetMaxRecipients(-5); },
         number(&MailSettings::MaxRecipients), "5", {}},
        {"MessageTimeout lowest", [](MailSettings& m) { m.SetMessageTimeout(INT32_MIN); },
         number(&MailSettings::MessageTimeout), std::to_string(INT32_MAX), {}},
        {"SMTPPort 65536", [](MailSettings& m) { m.SetSMTPPort(65536); }, number(&MailSettings::SMTPPort), "25",
         {std::string(kInvalidPort)}},
        {"SMTPPort 587 takes the complaint back", [](MailSettings& m) { m.SetSMTPPort(0); m.SetSMTPPort(587); },
         number(&MailSettings::SMTPPort), "587", {}},
        {"content base made a URL", [](MailSettings& m) { m.SetContentBase("www.example.com\\pics"); },
         &MailSettings::ContentBase, "http://www.example.com/pics/", {}},
        {"a priority without text keeps the one before",
         [](MailSettings& m) { m.SetPriority(HIGH_PRIORITY); m.SetPriority(2); },
         [](const MailSettings& m) { return std::to_string(m.Priority()) + " " + m.PriorityText(); }, "2 High", {}},
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
    system->echoAnswer = [](const IPv4Bytes& to, const std::string& sent) { return EchoResult{0, 3, to, sent}; };
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
    testing::TempDir dir;
    const std::string first = testing::BinaryFile(dir.Path(), "first.txt", 5);
    const std::string second = testing::BinaryFile(dir.Path(), "second.bin", 1000);
    const std::string hidden = testing::BinaryFile(dir.Path(), ".hidden", 1);
    const std::string big = testing::BinaryFile(dir.Path(), "big.bin", 0);
    std::filesystem::resize_file(big, 3ULL << 30);  // sparse
    const struct {
        std::string attachment;
        bool missing;
        std::uint64_t bytes;
        TextList names;
    } rows[] = {
        {first + ";" + second, false, 1005, {"first.txt", "second.bin"}},
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
        EXPECT_EQ(s->Attachments().Count(), static_cast<std::int32_t>(row.names.size()));
        EXPECT_EQ(s->Attachments().Bytes(), row.bytes);
        EXPECT_EQ(s->Attachments().Names(), row.names);
    }
}

// Every row of the stored-settings table: a value saved by one object comes back in the next;
// a stored number out of range falls back to its default, except a Security or AuthMechanism,
// which is kept and named by the complaint that refuses every send. Nothing else is stored.
TEST_F(SettingsTest, EveryStoredSettingComesBackInTheNextObject) {
    for (const StoredSetting& row : StoredSettings()) {
        SCOPED_TRACE(std::string(row.key) + " of " + std::string(row.Property()));
        StoredValues expected = DefaultStoredValues();
        expected.persistent = true;
        if (row.text) expected.*row.text = " a b ";
        if (row.number) expected.*row.number = row.highest;
        if (row.flag) expected.*row.flag = true;  // every flag defaults to false
        store.values = {{"PersistentSettings", "-1"}};
        ASSERT_TRUE(WriteStoredValue(store, row, expected));
        if (row.trimmed) expected.*row.text = "a b";
        EXPECT_TRUE(LoadStoredValues(store) == expected);
        if (row.protectedText) {
            // Only the protected form: the secret's own text is not in the store, nor taken from it.
            EXPECT_EQ(store.values[std::string(row.key)].find(" a b "), std::string::npos);
            store.values[std::string(row.key)] = " a b ";
            EXPECT_EQ(LoadStoredValues(store).*row.text, "");
        }
        for (const std::int64_t outside : {std::int64_t{row.lowest} - 1, std::int64_t{row.highest} + 1}) {
            if (!row.number || outside < INT32_MIN || outside > INT32_MAX) continue;
            store.values[std::string(row.key)] = std::to_string(outside);
            const bool kept = !row.invalidText.empty();
            expected.*row.number = kept ? static_cast<std::int32_t>(outside) : row.fallback;
            EXPECT_TRUE(LoadStoredValues(store) == expected) << outside;
            EXPECT_EQ(InvalidStoredValues(expected).size(), kept ? 1U : 0U);
        }
    }
    store.values = {{"RemotePort", "587"}, {"PersistentSettings", "0"}};
    EXPECT_EQ(LoadStoredValues(store).smtpPort, 25);  // nothing is read while persistence is off
    // A remembered AllowInvalidCertificate would turn the certificate checks off for every later
    // object: it is neither read nor written, and neither is the password.
    store.values = {{"PersistentSettings", "-1"}, {"AllowInvalidCertificate", "-1"}};
    EXPECT_FALSE(MakeCore()->Settings().AllowInvalidCertificate());
    store.values.erase("AllowInvalidCertificate");
    SetUp();
    s->SetAllowInvalidCertificate(true);
    s->SetPassword("secret");
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"PersistentSettings", "-1"}}));
}

// The setters with a range take its limits and refuse the values next to them; what they take
// is written while persistence is on, and only then.
TEST_F(SettingsTest, RangedSettersTakeTheirLimits) {
    using Set = std::function<bool(MailSettings&, std::int32_t)>;
    using Get = std::int32_t (MailSettings::*)() const;
    const auto taken = [](void (MailSettings::*set)(std::int32_t), Get get) {
        return [=](MailSettings& m, std::int32_t value) { (m.*set)(value); return (m.*get)() == value; };
    };
    const struct {
        const char* key; Set set; std::int32_t lowest, highest;
    } rows[] = {
        {"ConnectRetry", taken(&MailSettings::SetConnectRetry, &MailSettings::ConnectRetry), 1, 20},
        {"ConnectTimeout", taken(&MailSettings::SetConnectTimeout, &MailSettings::ConnectTimeout), 1, 120},
        {"RemotePort", taken(&MailSettings::SetSMTPPort, &MailSettings::SMTPPort), 1, 65535},
        {"Security", &MailSettings::SetSecurity, SECURITY_NONE, SECURITY_TLS},
        {"AuthMechanism", &MailSettings::SetAuthMechanism, AUTH_AUTOMATIC, AUTH_XOAUTH2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        store.values.clear();
        SetUp();
        EXPECT_TRUE(row.set(*s, row.lowest));
        EXPECT_TRUE(store.values.empty());
        s->SetPersistentSettings(true);
        EXPECT_TRUE(row.set(*s, row.highest));
        EXPECT_FALSE(row.set(*s, row.lowest - 1));
        EXPECT_FALSE(row.set(*s, row.highest + 1));
        EXPECT_EQ(store.values[row.key], std::to_string(row.highest));
    }
}

// A stored Security or AuthMechanism outside its enumeration keeps Send and Connect from
// opening any session, also one without TLS; a valid value set afterwards lifts the refusal.
TEST_F(SettingsTest, AnUnknownStoredSecurityOrMechanismRefusesEveryConnection) {
    for (const auto& [key, text] : {std::pair{"Security", kInvalidStoredSecurity},
                                    std::pair{"AuthMechanism", kInvalidStoredAuthMechanism}}) {
        SCOPED_TRACE(key);
        store.values = {{"PersistentSettings", "-1"}, {"RemoteHost", "127.0.0.1"}, {key, "junk"}};
        SetUp();
        events.log.clear();
        s->SetFrom("me@example.com");
        s->SetRecipient("you@example.com");
        const std::string refused = "SendFailed: " + std::string(text) + "\r\n";
        core->Send();
        EXPECT_FALSE(core->Connect());
        EXPECT_EQ(events.log, (std::vector<std::string>{refused, refused}));
        EXPECT_EQ(store.values[key], "junk");
        EXPECT_TRUE(s->SetSecurity(SECURITY_TLS) && s->SetAuthMechanism(AUTH_LOGIN));
        EXPECT_TRUE(s->InvalidStoredSettings().empty());
    }
}

}  // namespace
}  // namespace zankit::mail
