// Send end to end: messages delivered to aiosmtpd and taken apart by Python's email package
// and uudecode.
#include <gtest/gtest.h>

#include <regex>

#include "../session/session_test_support.h"

namespace zankit::mail::testing {
namespace {

// Sizes around the UU line (45, with 14 giving the length character "."), the base64 line
// (57), the streaming piece (11400) and one of several MiB; names with spaces and umlauts.
const std::vector<std::pair<std::string, std::size_t>> kAttachments = {
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

std::string Lines(int count, const char* end) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + end;
    return text;
}

class SendToSink : public ::testing::Test {
protected:
    void SetUp() override {
        sink_ = SinkPeerFromEnvironment("ZANKIT_SMTP_NOAUTH_PORT", "ZANKIT_SMTP_NOAUTH_SPOOL");
        if (!sink_) GTEST_SKIP() << "the SMTP sinks are not running";  // the runner fails on skips
        mail_ = std::make_unique<LoopbackMail>(sink_->port);
        mail_->core.SetReverseLookup([](const std::string&) { return std::string("sink.reverse.test"); });
        auto& s = Settings();
        s.SetMessageTimeout(20);
        s.SetRecipient("first@example.com");
        s.SetSubject("Test message");
        s.SetMessage("Hello there.");
    }

    MailSettings& Settings() { return mail_->core.Settings(); }
    const std::vector<std::string>& Log() { return mail_->events.log; }
    bool Logged(const std::string& entry) { return std::find(Log().begin(), Log().end(), entry) != Log().end(); }
    std::string File(const std::string& name, std::size_t size) { return BinaryFile(dir_.Path(), name, size); }

    // Sends and takes apart the one message the sink kept for it.
    InspectedMessage SendAndInspect() {
        const int before = sink_->MessageCount();
        mail_->core.Send();
        EXPECT_EQ(sink_->MessageCount(), before + 1) << ::testing::PrintToString(Log());
        return Inspect(sink_->MessagePath(before + 1), (dir_.Path() / std::to_string(before + 1)).string());
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
    TempDir dir_;
};

// Both encodings; UU mode also asks for priority and receipt, which it must leave out.
TEST_F(SendToSink, AttachmentsArriveByteForByte) {
    for (const std::int32_t encoding : {MIME_ENCODE, UU_ENCODE}) {
        SCOPED_TRACE(encoding == UU_ENCODE ? "UU" : "MIME");
        mail_->events.log.clear();
        mail_->events.percents.clear();
        std::string joined;
        for (const auto& [name, size] : kAttachments) joined += (joined.empty() ? "" : ";") + File(name, size);
        Settings().SetAttachment(joined);
        Settings().SetEncodeType(encoding);
        Settings().SetReceipt(encoding == UU_ENCODE);
        Settings().SetPriority(encoding == UU_ENCODE ? HIGH_PRIORITY : NORMAL_PRIORITY);
        Capture wire(*sink_);
        const InspectedMessage message = SendAndInspect();
        ExpectSuccessWithRisingProgress();
        EXPECT_TRUE(OnlyCrLfLineEnds(wire.Text()));

        std::vector<std::string> expected = {"Status: Sending Sender Information...",
                                             "Status: Sending Recipient Information...", "Status: Sending Message..."};
        for (const auto& file : kAttachments) expected.push_back("Status: Sending Attachment, " + file.first + "...");
        expected.insert(expected.end(),
                        {"Status: Transmission Complete...", "Status: Closing Connection...", "SendSuccesful"});
        std::vector<std::string> seen;
        std::copy_if(std::find(Log().begin(), Log().end(), expected[0]), Log().end(), std::back_inserter(seen),
                     [](const std::string& e) { return e.rfind("Progress: ", 0) != 0; });
        EXPECT_EQ(seen, expected);

        EXPECT_TRUE(std::regex_match(message.Header("Message-ID"),
                                     std::regex("<[0-9]{17}\\.[A-Za-z0-8]{20}@sink\\.reverse\\.test>")))
            << message.Header("Message-ID");
        if (encoding == UU_ENCODE) {
            EXPECT_EQ(message.HeaderNames(), (std::vector<std::string>{"Message-ID", "From", "To", "Subject", "Date"}));
            // The 14-byte line starts with its length character "." and went out doubled.
            EXPECT_NE(wire.Text().find("begin 600 vierzehn Bytes.dat\r\n.."), std::string::npos);
            ASSERT_EQ(message.uu.size(), kAttachments.size());
        } else {
            EXPECT_EQ(message.HeaderNames(), (std::vector<std::string>{"Message-ID", "From", "To", "Subject", "Date",
                                                                       "MIME-Version", "Content-Type"}));
            EXPECT_TRUE(std::regex_match(
                message.Header("Content-Type"),
                std::regex("multipart/mixed; boundary=\"----_=_NextPart_000_[0-9A-F]{8}\\.[0-9A-F]{8}\"")))
                << message.Header("Content-Type");
            ASSERT_EQ(message.parts.size(), kAttachments.size() + 1);
            EXPECT_EQ(message.parts[0].type, "text/plain");
            EXPECT_EQ(message.parts[0].bytes, "Hello there.\r\n");
        }
        for (std::size_t i = 0; i < kAttachments.size(); ++i) {
            SCOPED_TRACE(kAttachments[i].first);
            const std::string sent = ReadWholeFile(Settings().AttachmentPaths()[i]);
            if (encoding == UU_ENCODE) {
                EXPECT_EQ(message.uu[i].name, kAttachments[i].first);
                EXPECT_EQ(message.uu[i].rc, 0);
                EXPECT_TRUE(message.uu[i].bytes == sent);
            } else {
                const auto& part = message.parts[i + 1];
                EXPECT_EQ(part.type + " " + part.file + " " + part.cid,
                          "application/octet-stream " + kAttachments[i].first + " -");
                EXPECT_TRUE(part.bytes == sent);
            }
        }
    }
}

TEST_F(SendToSink, HtmlWithAnEmbeddedImageIsRelated) {
    const std::string image = File("pic.png", 2000);
    const std::string document = File("notes.txt", 300);
    Settings().SetAsHTML(true);
    Settings().SetMessage("<html><body><p>See:</p><img src=\"" + image + "\"></body></html>");
    Settings().SetAttachment(image + ";" + document);
    const InspectedMessage message = SendAndInspect();
    ExpectSuccessWithRisingProgress();

    EXPECT_TRUE(Logged("Status: Sending Embedded File, pic.png..."));
    EXPECT_TRUE(Logged("Status: Sending Attachment, notes.txt..."));
    EXPECT_EQ(message.Header("Content-Type").rfind("multipart/related;", 0), 0u);
    ASSERT_EQ(message.parts.size(), 3u);
    EXPECT_EQ(message.parts[0].type, "text/html");
    EXPECT_EQ(message.parts[0].bytes, "<html><body><p>See:</p><img src=\"cid:pic.png\"></body></html>\r\n");
    EXPECT_EQ(message.parts[1].type + " " + message.parts[1].cid, "image/png <pic.png>");
    EXPECT_TRUE(message.parts[1].bytes == ReadWholeFile(image));
    EXPECT_EQ(message.parts[2].cid, "-");
    EXPECT_TRUE(message.parts[2].bytes == ReadWholeFile(document));
    EXPECT_EQ(Settings().Message(), "<html><body><p>See:</p><img src=\"cid:pic.png\"></body></html>");
}

TEST_F(SendToSink, BareLineEndsAndLeadingDotsReachTheReaderIntact) {
    const std::string z998 = std::string(998, 'z') + "\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"first\nsecond\r.third\n.\nlast", "first\r\nsecond\r\n.third\r\n.\r\nlast\r\n"},
        {".only\n\n..two\r\n.", ".only\r\n\r\n..two\r\n.\r\n"},
        // Bare LF lines count as lines for the length limit: short ones stay whole, a long one
        // is broken at 998 only.
        {Lines(3000, "\n") + std::string(5000, 'z'),
         Lines(3000, "\r\n") + z998 + z998 + z998 + z998 + z998 + std::string(10, 'z') + "\r\n"},
    };
    for (const auto& [sent, received] : cases) {
        SCOPED_TRACE(sent.substr(0, 40));
        Settings().SetMessage(sent);
        Capture wire(*sink_);
        const InspectedMessage message = SendAndInspect();
        ASSERT_EQ(message.parts.size(), 1u);
        EXPECT_EQ(message.parts[0].bytes, received);
        EXPECT_TRUE(OnlyCrLfLineEnds(wire.Text()));
        EXPECT_EQ(Settings().Message(), sent);
    }
}

TEST_F(SendToSink, HeaderValuesStayOnTheirLines) {
    Settings().SetSubject("Hello\r\nBcc: evil@example.com");
    Settings().SetFromDisplayName("Boss\r\n\r\nX-Injected: yes");
    Settings().SetRecipientDisplayName("Friend\nX-Other: 1");
    Settings().SetReplyToAddress("reply@example.com\rX-Reply: 1");
    Settings().SetAttachment(File("evil\nX-File: 1.txt", 10));
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
