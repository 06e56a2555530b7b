// Send end to end: messages delivered to aiosmtpd and taken apart by Python's email package
// and uudecode, and the failures of a send against the scripted peer.
// tests/peers/run_session_tests.sh starts the peers; without them these tests are skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "mail/mail_core.h"
#include "send_peer_support.h"

namespace zankit::mail::testing {
namespace {

struct NamedFile {
    std::string name;
    std::size_t size;
};

// Sizes around the base64 line (57), the UU line (45, with 14 giving the length character
// "."), the streaming piece (11400) and one of several MiB; names with spaces and umlauts.
const std::vector<NamedFile> kAttachments = {
    {"empty file.bin", 0},
    {"one.bin", 1},
    {"vierzehn Bytes.dat", 14},
    {"line45.bin", 45},
    {"line57.bin", 57},
    {"piece 11400.bin", 11400},
    {"piece 11401.bin", 11401},
    {"Gr\xC3\xB6\xC3\x9F"
     "e M\xC3\xBCll.bin",
     3 * 1024 * 1024 + 7},
};

std::string LfLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\n";
    return text;
}

std::string CrLfLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
}

class SendToSink : public ::testing::Test {
protected:
    void SetUp() override {
        sink_ = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
        if (!sink_) GTEST_SKIP() << "the SMTP sinks are not running";
        mail_ = std::make_unique<LoopbackMail>(sink_->port);
        mail_->core.SetReverseLookup([](const std::string&) { return std::string("sink.reverse.test"); });
        auto& s = Settings();
        s.SetMessageTimeout(20);
        s.SetRecipient("first@example.com");
        s.SetSubject("Test message");
        s.SetMessage("Hello there.");
    }

    MailSettings& Settings() { return mail_->core.Settings(); }
    std::vector<std::string>& Log() { return mail_->events.log; }

    // Writes the attachment files and gives their paths joined for the Attachment property.
    std::string WriteAttachments() {
        std::string joined;
        for (const auto& file : kAttachments) {
            if (!joined.empty()) joined += ";";
            joined += scratch_.BinaryFile(file.name, file.size);
        }
        return joined;
    }

    // Sends and takes apart the one message the sink kept for it.
    InspectedMessage SendAndInspect() {
        const int before = sink_->MessageCount();
        mail_->core.Send();
        EXPECT_EQ(sink_->MessageCount(), before + 1) << ::testing::PrintToString(Log());
        const std::string out = scratch_.Path() + "/inspected-" + std::to_string(before + 1);
        return Inspect(sink_->MessagePath(before + 1), out);
    }

    void ExpectSuccessWithRisingProgress() {
        EXPECT_EQ(std::count(Log().begin(), Log().end(), "SendSuccesful"), 1);
        EXPECT_EQ(Log().back(), "SendSuccesful");
        for (const auto& entry : Log()) EXPECT_EQ(entry.rfind("SendFailed", 0), std::string::npos) << entry;
        const auto& percents = mail_->events.percents;
        ASSERT_FALSE(percents.empty());
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(percents.back(), 100);
    }

    std::optional<SinkPeer> sink_;
    std::unique_ptr<LoopbackMail> mail_;
    ScratchDir scratch_;
};

TEST_F(SendToSink, MimeAttachmentsArriveByteForByte) {
    Settings().SetAttachment(WriteAttachments());
    const InspectedMessage message = SendAndInspect();
    ExpectSuccessWithRisingProgress();

    std::vector<std::string> expected = {"Status: Sending Sender Information...",
                                         "Status: Sending Recipient Information...", "Status: Sending Message..."};
    for (const auto& file : kAttachments) expected.push_back("Status: Sending Attachment, " + file.name + "...");
    expected.insert(expected.end(),
                    {"Status: Transmission Complete...", "Status: Closing Connection...", "SendSuccesful"});
    EXPECT_EQ(WithoutProgress(FromEnvelopeOn(Log())), expected);

    EXPECT_EQ(message.HeaderNames(), (std::vector<std::string>{"Message-ID", "From", "To", "Subject", "Date",
                                                               "MIME-Version", "Content-Type"}));
    EXPECT_TRUE(std::regex_match(message.Header("Message-ID"),
                                 std::regex("<[0-9]{17}\\.[A-Za-z0-8]{20}@sink\\.reverse\\.test>")))
        << message.Header("Message-ID");
    EXPECT_EQ(message.Header("From"), "\"sender@example.com\" <sender@example.com>");
    EXPECT_EQ(message.Header("To"), "\"first@example.com\" <first@example.com>");
    EXPECT_TRUE(
        std::regex_match(message.Header("Content-Type"),
                         std::regex("multipart/mixed;\\s*boundary=\"----_=_NextPart_000_[0-9A-F]{8}\\.[0-9A-F]{8}\"")))
        << message.Header("Content-Type");

    ASSERT_EQ(message.parts.size(), kAttachments.size() + 1);
    EXPECT_EQ(message.parts[0].type, "text/plain");
    EXPECT_EQ(message.parts[0].bytes, "Hello there.\r\n");
    for (std::size_t i = 0; i < kAttachments.size(); ++i) {
        const auto& part = message.parts[i + 1];
        SCOPED_TRACE(kAttachments[i].name);
        EXPECT_EQ(part.type, "application/octet-stream");
        EXPECT_EQ(part.file, kAttachments[i].name);
        EXPECT_EQ(part.cid, "-");
        EXPECT_TRUE(part.bytes == ReadWholeFile(Settings().AttachmentPaths()[i]));
    }
}

TEST_F(SendToSink, UUAttachmentsDecodeByteForByte) {
    Settings().SetEncodeType(UU_ENCODE);
    Settings().SetReceipt(true);
    Settings().SetPriority(HIGH_PRIORITY);
    Settings().SetAttachment(WriteAttachments());
    const std::size_t logStart = sink_->Received().size();
    const InspectedMessage message = SendAndInspect();
    ExpectSuccessWithRisingProgress();

    // Neither MIME nor priority nor receipt lines in UU mode.
    EXPECT_EQ(message.HeaderNames(), (std::vector<std::string>{"Message-ID", "From", "To", "Subject", "Date"}));
    ASSERT_EQ(message.uu.size(), kAttachments.size());
    for (std::size_t i = 0; i < kAttachments.size(); ++i) {
        SCOPED_TRACE(kAttachments[i].name);
        EXPECT_EQ(message.uu[i].name, kAttachments[i].name);
        EXPECT_EQ(message.uu[i].rc, 0);
        EXPECT_TRUE(message.uu[i].bytes == ReadWholeFile(Settings().AttachmentPaths()[i]));
    }
    // The 14-byte line starts with its length character "." and went out doubled.
    const std::string wire = sink_->Received().substr(logStart);
    EXPECT_NE(wire.find("begin 600 vierzehn Bytes.dat\r\n..", 0), std::string::npos);
    EXPECT_TRUE(OnlyCrLfLineEnds(wire));
}

TEST_F(SendToSink, HtmlWithAnEmbeddedImageIsRelated) {
    const std::string image = scratch_.BinaryFile("pic.png", 2000);
    const std::string document = scratch_.BinaryFile("notes.txt", 300);
    Settings().SetAsHTML(true);
    Settings().SetMessage("<html><body><p>See:</p><img src=\"" + image + "\"></body></html>");
    Settings().SetAttachment(image + ";" + document);
    const InspectedMessage message = SendAndInspect();
    ExpectSuccessWithRisingProgress();

    EXPECT_NE(std::find(Log().begin(), Log().end(), "Status: Sending Embedded File, pic.png..."), Log().end());
    EXPECT_NE(std::find(Log().begin(), Log().end(), "Status: Sending Attachment, notes.txt..."), Log().end());
    EXPECT_EQ(message.Header("Content-Type").rfind("multipart/related;", 0), 0u);
    ASSERT_EQ(message.parts.size(), 3u);
    EXPECT_EQ(message.parts[0].type, "text/html");
    EXPECT_EQ(message.parts[0].bytes, "<html><body><p>See:</p><img src=\"cid:pic.png\"></body></html>\r\n");
    EXPECT_EQ(message.parts[1].type, "image/png");
    EXPECT_EQ(message.parts[1].cid, "<pic.png>");
    EXPECT_TRUE(message.parts[1].bytes == ReadWholeFile(image));
    EXPECT_EQ(message.parts[2].cid, "-");
    EXPECT_TRUE(message.parts[2].bytes == ReadWholeFile(document));
    // The rewriting stays in the message; a second send changes nothing more.
    EXPECT_EQ(Settings().Message(), "<html><body><p>See:</p><img src=\"cid:pic.png\"></body></html>");
}

TEST_F(SendToSink, BareLineEndsAndLeadingDotsReachTheReaderIntact) {
    struct Case {
        std::string message;
        std::string received;
    };
    const std::vector<Case> cases = {
        {"first\nsecond\r.third\n.\nlast", "first\r\nsecond\r\n.third\r\n.\r\nlast\r\n"},
        {"a\r\nb\n.c\r\n.d\r\n.", "a\r\nb\r\n.c\r\n.d\r\n.\r\n"},
        {".only\n\n..two", ".only\r\n\r\n..two\r\n"},
        // Bare LF lines count as lines for the length limit: short ones stay whole, a long one
        // is broken at 998 only.
        {LfLines(3000) + std::string(5000, 'z'),
         CrLfLines(3000) + std::string(998, 'z') + "\r\n" + std::string(998, 'z') + "\r\n" + std::string(998, 'z') +
             "\r\n" + std::string(998, 'z') + "\r\n" + std::string(998, 'z') + "\r\n" + std::string(10, 'z') + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Settings().SetMessage(c.message);
        const std::size_t logStart = sink_->Received().size();
        const InspectedMessage message = SendAndInspect();
        ASSERT_EQ(message.parts.size(), 1u);
        EXPECT_EQ(message.parts[0].bytes, c.received);
        EXPECT_TRUE(OnlyCrLfLineEnds(sink_->Received().substr(logStart)));
        EXPECT_EQ(Settings().Message(), c.message);
    }
}

TEST_F(SendToSink, HeaderValuesStayOnTheirLines) {
    const std::string odd = scratch_.BinaryFile("evil\nX-File: 1.txt", 10);
    Settings().SetSubject("Hello\r\nBcc: evil@example.com");
    Settings().SetFromDisplayName("Boss\r\n\r\nX-Injected: yes");
    Settings().SetRecipientDisplayName("Friend\nX-Other: 1");
    Settings().SetReplyToAddress("reply@example.com\rX-Reply: 1");
    Settings().SetAttachment(odd);
    const InspectedMessage message = SendAndInspect();
    ExpectSuccessWithRisingProgress();

    for (const char* injected : {"Bcc", "X-Injected", "X-Other", "X-Reply", "X-File"}) {
        EXPECT_EQ(message.Header(injected), "<missing>") << injected;
    }
    EXPECT_EQ(message.Header("Subject"), "Hello Bcc: evil@example.com");
    EXPECT_EQ(message.Header("From"), "\"Boss X-Injected: yes\" <sender@example.com>");
    EXPECT_EQ(message.Header("To"), "\"Friend X-Other: 1\" <first@example.com>");
    EXPECT_EQ(message.Header("Reply-to"), "<reply@example.com X-Reply: 1>");
    ASSERT_EQ(message.parts.size(), 2u);
    EXPECT_EQ(message.parts[1].file, "evil X-File: 1.txt");
}

}  // namespace
}  // namespace zankit::mail::testing
