// The mail settings, the checks before a send and the wait for a server's answer, over the
// platform with its clock and name questions scripted.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "../session_test_support.h"
#include "mail/mail_core.h"
#include "mail/pending_errors.h"

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
// which is kept and named by the complaint that refuses every send.
TEST_F(SettingsTest, EveryStoredSettingComesBackInTheNextObject) {
    for (const StoredSetting& row : StoredSettings()) {
        SCOPED_TRACE(row.key);
        StoredValues saved = DefaultStoredValues();
        saved.persistent = true;
        if (row.text) saved.*row.text = " a b ";
        if (row.flag) saved.*row.flag = true;
        if (row.number) saved.*row.number = row.highest;
        store.values = {{"PersistentSettings", "-1"}, {std::string(row.key), row.TextOf(saved)}};
        const StoredValues loaded = LoadStoredValues(store);
        if (row.text) {
            EXPECT_EQ(loaded.*row.text, row.trimmed ? "a b" : " a b ");
        } else if (row.flag) {
            EXPECT_TRUE(loaded.*row.flag);
        }
        if (!row.number) continue;
        EXPECT_EQ(loaded.*row.number, row.highest);
        for (const std::int64_t outside : {std::int64_t{row.lowest} - 1, std::int64_t{row.highest} + 1}) {
            if (outside < INT32_MIN || outside > INT32_MAX) continue;
            store.values[std::string(row.key)] = std::to_string(outside);
            const StoredValues refused = LoadStoredValues(store);
            const bool kept = !row.invalidText.empty();
            EXPECT_EQ(refused.*row.number, kept ? outside : row.fallback) << outside;
            EXPECT_EQ(InvalidStoredValues(refused), kept ? std::vector{row.invalidText} : std::vector<std::string_view>{});
        }
    }
    store.values = {{"RemotePort", "587"}, {"PersistentSettings", "0"}};
    EXPECT_EQ(LoadStoredValues(store).smtpPort, 25);  // nothing is read while persistence is off
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

// A remembered AllowInvalidCertificate would turn the certificate checks off for every later
// object: it is neither written nor read.
TEST_F(SettingsTest, AllowInvalidCertificateIsNeverStored) {
    s->SetPersistentSettings(true);
    s->SetAllowInvalidCertificate(true);
    s->SetPassword("secret");
    EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"PersistentSettings", "-1"}}));
    store.values["AllowInvalidCertificate"] = "-1";
    EXPECT_FALSE(MakeCore()->Settings().AllowInvalidCertificate());
}

// A stored Security or AuthMechanism outside its enumeration keeps Send and Connect from
// opening any session, also one without TLS; a valid value set afterwards lifts the refusal.
TEST(StoredSettings, AnUnknownSecurityOrMechanismRefusesEveryConnection) {
    for (const auto& [key, text] : {std::pair{"Security", kInvalidStoredSecurity},
                                    std::pair{"AuthMechanism", kInvalidStoredAuthMechanism}}) {
        SCOPED_TRACE(key);
        MemoryStore store;
        store.values = {{"PersistentSettings", "-1"}, {"RemoteHost", "127.0.0.1"}, {key, "junk"}};
        OrderedEvents events;
        SendMailCore core(std::make_unique<ScriptedSystem>(), store.Shared(), events);
        core.Settings().SetFrom("me@example.com");
        core.Settings().SetRecipient("you@example.com");
        const std::string refused = "SendFailed: " + std::string(text) + "\r\n";
        core.Send();
        EXPECT_FALSE(core.Connect());
        EXPECT_EQ(events.log, (std::vector<std::string>{refused, refused}));
        EXPECT_EQ(store.values[key], "junk");
        EXPECT_TRUE(core.Settings().SetSecurity(SECURITY_TLS) && core.Settings().SetAuthMechanism(AUTH_LOGIN));
        EXPECT_TRUE(core.Settings().InvalidStoredSettings().empty());
    }
}

struct Failures {
    PendingErrors errors;
    OrderedEvents events;
    ScriptedSystem system;
    FailureReporter reporter{errors, events, system};
};

// One entry per text whatever its case, in order; a failure sends them all at once, closes the
// session and empties the list.
TEST(FailureReporter, RaiseFailureSendsEveryPendingTextOnce) {
    Failures f;
    int closes = 0;
    f.reporter.SetSessionCloser([&] { ++closes; });
    for (const char* text : {"One", "Server said no\r\n", "ONE", "Two"}) f.errors.Add(text);
    f.errors.Remove("two");
    f.reporter.RaiseFailure();
    EXPECT_EQ(f.events.log, (std::vector<std::string>{"SendFailed: One\r\nServer said no\r\n\r\n"}));
    EXPECT_TRUE(f.errors.Empty() && f.reporter.Failed());
    EXPECT_EQ(closes, 1);
}

// The scripted clock advances only by sleeping; every pass pumps once, checks the flag, and
// sleeps 10 ms.
TEST(FailureReporter, WaitForFlag) {
    using Pump = std::function<void(Failures&, bool& flag)>;
    const Pump setAtThird = [](Failures& f, bool& flag) { flag = f.system.pumps == 3; };
    const Pump hairBack = [](Failures& f, bool& flag) {
        if (f.system.pumps == 1) f.system.clock -= 1e-9;  // rounding can do that; it is no midnight
        flag = f.system.pumps == 5;
    };
    const Pump fail = [](Failures& f, bool&) {
        f.errors.Add("socket error");
        f.reporter.RaiseFailure();
    };
    const std::string timeout = "SendFailed: " + std::string(kTimeoutMessage) + "\r\n";
    // clang-format off
    const struct {
        const char* what;
        bool flag; long seconds; bool raise; double clock; Pump onPump;
        bool result; std::vector<std::string> failures; int pumps; int sleeps; int slack;
    } rows[] = {
        {"zero seconds, even with the flag set", true, 0, true, 1000, {}, false, {}, 0, 0, 0},
        {"timeout reported", false, 2, true, 1000, {}, false, {timeout}, 200, 200, 1},
        {"across midnight the full time", false, 10, false, 86400 - 3, {}, false, {}, 1000, 1000, 1},
        {"flag set by the pump, no sleep after", false, 10, true, 1000, setAtThird, true, {}, 3, 2, 0},
        {"a clock a hair back", false, 10, true, 1000, hairBack, true, {}, 5, 4, 0},
        {"a failure during the wait ends it", false, 10, true, 1000, fail, false, {"SendFailed: socket error\r\n"}, 1, 1, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Failures f;
        bool flag = row.flag;
        f.system.clock = row.clock;
        if (row.onPump) f.system.onPump = [&] { row.onPump(f, flag); };
        EXPECT_EQ(f.reporter.WaitForFlag(flag, row.seconds, row.raise), row.result);
        EXPECT_EQ(f.events.log, row.failures);
        EXPECT_EQ(f.reporter.Failed(), !row.failures.empty());
        EXPECT_NEAR(f.system.pumps, row.pumps, row.slack);
        EXPECT_NEAR(f.system.sleeps, row.sleeps, row.slack);
    }
}

// Every Send here stops before a session: at the checks, or for want of an SMTP host.
TEST(SendChecks, RefusalsInOrder) {
    using Set = std::function<void(MailSettings&)>;
    const Set threeLists = [](MailSettings& s) {
        s.SetFrom("me@example.com");
        s.SetRecipient("a@example.com");
        s.SetCcRecipient("b@example.com");
        s.SetBccRecipient("c@example.com");
    };
    const Set everyCheck = [](MailSettings& s) {
        s.SetSMTPPort(0);
        s.SetFrom("me@example.com");
        s.SetRecipient("a@example.com;b@example.com;c@example.com");
        s.SetAsHTML(true);
        s.SetEncodeType(UU_ENCODE);
    };
    const std::string noHost = "Invalid or Missing SMTP Host Name\r\n";
    // clang-format off
    const struct {
        const char* what; Set set; std::int32_t maxRecipients; std::string explanation;
    } rows[] = {
        {"nothing set", [](MailSettings&) {}, 100,
         "Missing or Invalid Sender E-mail Address\r\nNo Recipient E-mail Address Specified\r\n"},
        {"setter complaints first, then every check", everyCheck, 2,
         "Invalid Remote Port\r\nSending HTML requires MIME encoding\r\nToo many recipients\r\n"},
        {"recipients of all lists count together", threeLists, 2, "Too many recipients\r\n"},
        {"as many recipients as allowed pass", threeLists, 3, noHost},
        {"only Bcc recipients pass", [](MailSettings& s) { s.SetFrom("me@x.com"); s.SetBccRecipient("b@x.com"); }, 100,
         noHost},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testing::ScriptedMail f;
        row.set(f.s);
        f.s.SetMaxRecipients(row.maxRecipients);
        f.core.Send();
        EXPECT_EQ(f.events.log, (std::vector<std::string>{"SendFailed: " + row.explanation}));
        EXPECT_TRUE(f.core.Errors().Empty());
        EXPECT_TRUE(f.core.Failures().Failed());
    }
}

}  // namespace
}  // namespace zankit::mail
