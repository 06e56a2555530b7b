// The rules of the mail class's core: host names and addresses, address lists, the pending
// failures and the wait for a server's answer, and the checks before a send.
#include <gtest/gtest.h>

#include <functional>

#include "mail/address_validation.h"
#include "mail/pending_errors.h"
#include "mail/secret_text.h"
#include "mail/text_rules.h"
#include "session_test_support.h"

namespace zankit::mail {
namespace {

using testing::OrderedEvents;
using testing::ScriptedSystem;

TEST(AddressValidation, HostNamesAddressesAndIPs) {
    using Check = bool (*)(std::string_view);
    const struct {
        Check check;
        const char* text;
        bool valid;
    } rows[] = {
        // clang-format off
        // The last label is searched as text in the list of known top-level domains: "cat" is
        // inside "EDUCATION", an empty label occurs everywhere.
        {IsValidHostName, "example.cat", true}, {IsValidHostName, "example.", true},
        {IsValidHostName, "  Mail.Example.COM  ", true}, {IsValidHostName, "example.asia", false},
        {IsValidHostName, "de", false},
        {IsValidHostName, "240.1.1.1", false},  // dotted addresses need a first part up to 239
        {IsValidEmailAddress, "@example.de", true}, {IsValidEmailAddress, "user@ 10.0.0.1", true},
        {IsValidEmailAddress, "a@b@example.com", false}, {IsValidEmailAddress, "user@localhost", false},
        {IsValidEmailAddress, "user@example.com\r\n", false},
        // International addresses: any local part, the domain checked in its A-labels.
        {IsValidEmailAddress, "j\u00FCrgen@b\u00FCcher.de", true},
        {IsValidEmailAddress, "\u0438\u0432\u0430\u043D@\u043F\u0440\u0438\u043C\u0435\u0440.\u0440\u0444", true},
        {IsValidEmailAddress, "user@\u043F\u0440\u0438\u043C\u0435\u0440", false},
        {IsValidHostName, "mail.xn--p1ai", true},
        {IsIPAddress, "239.255.255.255", true}, {IsIPAddress, "1.256.0.1", false}, {IsIPAddress, "1.2.3", false},
        {IsIPAddress, "1.2.3.4.5", false}, {IsIPAddress, "1.2..4", false}, {IsIPAddress, "-1.2.3.4", false},
        {IsIPAddress, "1.2.3.99999999999999999999", false},
        // clang-format on
    };
    for (const auto& row : rows) EXPECT_EQ(row.check(row.text), row.valid) << row.text;
}

TEST(TextRules, Lists) {
    EXPECT_TRUE(SplitList("", ";").empty());
    EXPECT_EQ(SplitList("a;b;", ";"), (TextList{"a", "b", ""}));
    EXPECT_EQ(SplitList("a;b", ""), (TextList{"a;b"}));
    // Spaces are trimmed, then CR LF pairs and tabs dropped; lone CR or LF stay.
    TextList list{"  a@b.de  ", "x\r\ny@b.de", "\tz@b.de ", "lone\rcr\n"};
    CleanAddressList(list);
    EXPECT_EQ(JoinList(list, ","), "a@b.de,xy@b.de,z@b.de,lone\rcr\n");
}

struct Failures {
    PendingErrors errors;
    OrderedEvents events;
    ScriptedSystem system;
    FailureReporter reporter{errors, events, system};
};

// One entry per text whatever its case, in order; a failure sends them all at once, closes the
// session and empties the list.
// Every byte the buffer holds is blank afterwards, also those past the value a shorter
// assignment left behind; the buffer stays with the string.
TEST(SecretText, WipeStringBlanksTheWholeBuffer) {
    const struct {
        std::string first, then;
    } rows[] = {{"pw", "pw"}, {std::string(300, 'p'), "short"}, {std::string(40, 't'), ""}};
    for (const auto& row : rows) {
        std::string secret = row.first;
        secret = row.then;
        const char* buffer = secret.data();
        const std::size_t capacity = secret.capacity();
        WipeString(secret);
        EXPECT_TRUE(secret.empty());
        ASSERT_EQ(secret.data(), buffer);
        EXPECT_EQ(std::string(buffer, capacity), std::string(capacity, '\0')) << row.first;
    }
}

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
