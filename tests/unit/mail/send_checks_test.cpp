#include <gtest/gtest.h>

#include "mail/mail_core.h"
#include "mail_test_support.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::RecordingEvents;
using testing::ScriptedSystem;

class SendTest : public ::testing::Test {
protected:
    SendTest()
        : core(std::make_unique<ScriptedSystem>(), std::make_unique<MemoryStore>(), events), s(core.Settings()) {}

    RecordingEvents events;
    SendMailCore core;
    MailSettings& s;
};

TEST_F(SendTest, MissingSenderAndRecipientsAreReportedInOrder) {
    core.Send();
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0],
              "Missing or Invalid Sender E-mail Address\r\nNo Recipient E-mail Address Specified\r\n");
    EXPECT_TRUE(core.Errors().Empty());
    EXPECT_TRUE(core.Failures().Failed());
    EXPECT_EQ(events.successes, 0);
}

TEST_F(SendTest, SetterComplaintsComeFirstAndAllChecksRun) {
    s.SetSMTPPort(0);
    s.SetFrom("me@example.com");
    s.SetRecipient("a@example.com;b@example.com;c@example.com");
    s.SetMaxRecipients(2);
    s.SetAsHTML(true);
    s.SetEncodeType(UU_ENCODE);
    core.Send();
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0],
              "Invalid Remote Port\r\nSending HTML requires MIME encoding\r\nToo many recipients\r\n");
}

TEST_F(SendTest, RecipientsOfAllListsCountTogether) {
    s.SetFrom("me@example.com");
    s.SetRecipient("a@example.com");
    s.SetCcRecipient("b@example.com");
    s.SetBccRecipient("c@example.com");
    s.SetMaxRecipients(3);
    core.Send();  // passes the checks; without an SMTP host no session opens
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0], "Invalid or Missing SMTP Host Name\r\n");
    s.SetMaxRecipients(2);
    core.Send();
    ASSERT_EQ(events.failures.size(), 2u);
    EXPECT_EQ(events.failures[1], "Too many recipients\r\n");
}

TEST_F(SendTest, DisplayNamesAreFittedToTheirAddressLists) {
    s.SetFrom("me@example.com");
    s.SetRecipient("a@example.com;b@example.com;c@example.com");
    s.SetRecipientDisplayName("Anna");
    s.SetCcRecipient("d@example.com");
    s.SetCcDisplayName("Dora;Extra;More");
    core.Send();
    EXPECT_EQ(s.RecipientDisplayNames(), (TextList{"Anna", "", ""}));
    EXPECT_EQ(s.CcDisplayNames(), (TextList{"Dora"}));
}

TEST_F(SendTest, OnlyBccRecipientsPassTheChecks) {
    s.SetFrom("me@example.com");
    s.SetBccRecipient("hidden@example.com");
    core.Send();
    // Past the checks: only the missing SMTP host stops it.
    ASSERT_EQ(events.failures.size(), 1u);
    EXPECT_EQ(events.failures[0], "Invalid or Missing SMTP Host Name\r\n");
    EXPECT_EQ(events.successes, 0);
}

TEST_F(SendTest, EachRefusalCarriesOnlyWhatCameSinceTheLastOne) {
    core.Send();
    s.SetFrom("me@example.com");
    core.Send();
    ASSERT_EQ(events.failures.size(), 2u);
    EXPECT_EQ(events.failures[1], "No Recipient E-mail Address Specified\r\n");
}

TEST_F(SendTest, ContentTypeFallsBackToTheDefault) {
    EXPECT_EQ(core.GetContentType("README"), "application/octet-stream");
    EXPECT_EQ(core.GetContentType("README", "text/plain"), "text/plain");
    EXPECT_EQ(core.GetContentType("file.no-such-extension"), "application/octet-stream");
    EXPECT_EQ(core.GetContentType("Picture.PNG"), "image/png");
    EXPECT_EQ(core.GetContentType("notes.txt"), "text/plain");
}

}  // namespace
}  // namespace zankit::mail
