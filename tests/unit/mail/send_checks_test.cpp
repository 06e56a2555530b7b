#include <gtest/gtest.h>

#include <functional>

#include "mail/mail_core.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::RecordingEvents;
using testing::ScriptedSystem;

struct SendFixture {
    RecordingEvents events;
    SendMailCore core{std::make_unique<ScriptedSystem>(), std::make_unique<MemoryStore>(), events};
    MailSettings& s = core.Settings();
};

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
        SendFixture f;
        row.set(f.s);
        f.s.SetMaxRecipients(row.maxRecipients);
        f.core.Send();
        EXPECT_EQ(f.events.failures, (std::vector<std::string>{row.explanation}));
        EXPECT_EQ(f.events.successes, 0);
        EXPECT_TRUE(f.core.Errors().Empty());
        EXPECT_TRUE(f.core.Failures().Failed());
    }
}

TEST(SendChecks, EachRefusalCarriesOnlyWhatCameSinceTheLastOne) {
    SendFixture f;
    f.core.Send();
    f.s.SetFrom("me@example.com");
    f.core.Send();
    ASSERT_EQ(f.events.failures.size(), 2u);
    EXPECT_EQ(f.events.failures[1], "No Recipient E-mail Address Specified\r\n");
}

TEST(SendChecks, DisplayNamesAreFittedToTheirAddressLists) {
    SendFixture f;
    f.s.SetFrom("me@example.com");
    f.s.SetRecipient("a@example.com;b@example.com;c@example.com");
    f.s.SetRecipientDisplayName("Anna");
    f.s.SetCcRecipient("d@example.com");
    f.s.SetCcDisplayName("Dora;Extra;More");
    f.core.Send();
    EXPECT_EQ(f.s.RecipientDisplayNames(), (TextList{"Anna", "", ""}));
    EXPECT_EQ(f.s.CcDisplayNames(), (TextList{"Dora"}));
}

TEST(SendChecks, ContentTypeByExtensionWithAFallback) {
    SendFixture f;
    EXPECT_EQ(f.core.GetContentType("README"), "application/octet-stream");
    EXPECT_EQ(f.core.GetContentType("README", "text/plain"), "text/plain");
    EXPECT_EQ(f.core.GetContentType("file.no-such-extension"), "application/octet-stream");
    EXPECT_EQ(f.core.GetContentType("Picture.PNG"), "image/png");
}

}  // namespace
}  // namespace zankit::mail
