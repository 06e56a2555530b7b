// A message whose text is all ASCII goes out byte for byte as it always has: the whole
// conversation with the sink, message included, against a recorded copy (golden/), with the
// date, the Message-ID and the boundary masked. ZANKIT_RECORD_GOLDEN=<folder> writes the copies
// instead of comparing.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "../session_test_support.h"

namespace zankit::mail::testing {
namespace {

std::string Masked(const std::string& wire) {
    std::string masked = std::regex_replace(wire, std::regex("Date: [^\r]*"), "Date: <date>");
    masked = std::regex_replace(masked, std::regex("Message-ID: <[^>]*>"), "Message-ID: <id>");
    return std::regex_replace(masked, std::regex("_NextPart_000_[0-9A-F]{8}\\.[0-9A-F]{8}"), "_NextPart_000_<b>");
}

TEST(SendToSink, AsciiMessagesKeepTheirBytes) {
    const auto sink = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
    if (!sink) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
    TempDir dir;
    const std::string picture = BinaryFile(dir.Path(), "logo.png", 700);
    const std::string sheet = BinaryFile(dir.Path(), "sheet 1.csv", 120);
    const struct {
        const char* golden;
        std::int32_t encoding;
        bool html;
    } rows[] = {{"ascii-mime-html.txt", MIME_ENCODE, true}, {"ascii-mime-text.txt", MIME_ENCODE, false},
                {"ascii-uu.txt", UU_ENCODE, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.golden);
        LoopbackMail mail(sink->port);
        auto& s = mail.core.Settings();
        s.SetFromDisplayName("Sender Name");
        s.SetRecipient("first@example.com;second@example.com");
        s.SetRecipientDisplayName("First One;");
        s.SetCcRecipient("cc@example.com");
        s.SetBccRecipient("bcc@example.com");
        s.SetReplyToAddress("reply@example.com");
        s.SetSubject("Quarterly figures, as promised");
        s.SetPriority(HIGH_PRIORITY);
        s.SetEncodeType(row.encoding);
        s.SetAsHTML(row.html);
        s.SetMessage(row.html ? "<p>Dear all,</p>\r\n<img src=\"logo.png\">\r\n.dot line"
                              : "Dear all,\r\n\r\nthe figures follow.\n.dot line\r\n");
        s.SetAttachment(picture + ";" + sheet);
        const std::size_t mark = sink->Received().size();
        mail.core.Send();
        ASSERT_EQ(mail.events.log.back(), "SendSuccesful");
        const std::string wire = Masked(sink->Since(mark));
        const std::filesystem::path golden = std::filesystem::path(__FILE__).parent_path() / "golden" / row.golden;
        if (const auto record = FromEnvironment("ZANKIT_RECORD_GOLDEN")) {
            std::ofstream(std::filesystem::path(*record) / row.golden, std::ios::binary) << wire;
            continue;
        }
        EXPECT_EQ(wire, ReadWholeFile(golden.string()));
    }
}

}  // namespace
}  // namespace zankit::mail::testing
