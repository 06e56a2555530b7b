// A message whose text is all ASCII goes out byte for byte as it always has: the whole
// conversation with the sink against a recorded copy (golden/), date, Message-ID and boundary
// masked. ZANKIT_RECORD_GOLDEN=<folder> writes the copies instead of comparing.
#include <gtest/gtest.h>

#include <regex>

#include "../session_test_support.h"

namespace zankit::mail::testing {
namespace {

std::string Masked(std::string wire) {
    wire = std::regex_replace(wire, std::regex("Date: [^\r]*"), "Date: <date>");
    wire = std::regex_replace(wire, std::regex("Message-ID: <[^>]*>"), "Message-ID: <id>");
    return std::regex_replace(wire, std::regex("_NextPart_000_[0-9A-F]{8}\\.[0-9A-F]{8}"), "_NextPart_000_<b>");
}

TEST(SendToSink, AsciiMessagesKeepTheirBytes) {
    const auto sink = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
    if (!sink) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
    TempDir dir;
    const std::string files = BinaryFile(dir.Path(), "logo.png", 40) + ";" + BinaryFile(dir.Path(), "a b.csv", 20);
    for (const bool uu : {false, true}) {
        const std::string golden = uu ? "ascii-uu.txt" : "ascii-mime.txt";
        LoopbackMail mail(sink->port);
        auto& s = mail.core.Settings();
        s.SetFromDisplayName("Sender Name");
        s.SetRecipient("first@example.com;second@example.com");
        s.SetRecipientDisplayName("First One;");
        s.SetCcRecipient("cc@example.com");
        s.SetBccRecipient("bcc@example.com");
        s.SetReplyToAddress("reply@example.com");
        s.SetSubject("Quarterly figures");
        s.SetPriority(HIGH_PRIORITY);
        s.SetReceipt(true);
        s.SetEncodeType(uu ? UU_ENCODE : MIME_ENCODE);
        s.SetAsHTML(!uu);
        s.SetMessage("<p>Dear all,</p>\r\n<img src=\"logo.png\">\n.dot line");
        s.SetAttachment(files);
        const std::size_t mark = sink->Received().size();
        mail.core.Send();
        ASSERT_EQ(mail.events.log.back(), "SendSuccesful");
        const std::string wire = Masked(sink->Since(mark));
        if (const auto record = FromEnvironment("ZANKIT_RECORD_GOLDEN")) {
            std::ofstream(std::filesystem::path(*record) / golden, std::ios::binary) << wire;
            continue;
        }
        EXPECT_EQ(wire, ReadWholeFile((std::filesystem::path(__FILE__).parent_path() / "golden" / golden).string()));
    }
}

}  // namespace
}  // namespace zankit::mail::testing
