#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "../mail/mail_test_support.h"
#include "mail/message_compose.h"
#include "mail/wire_text.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::RecordingEvents;
using testing::ScriptedSystem;

TEST(WireText, EveryLineBreakBecomesCrLfAndEveryDottedLineIsDoubledOnce) {
    struct Case {
        std::string given;
        std::string wire;
    };
    const Case cases[] = {
        {"a\nb\rc", "a\r\nb\r\nc"},  // CR is the separator, LF bare
        {"a\r\n.b\n.c\r\rd", "a\r\n..b\r\n..c\r\n\r\nd"},
        {".x\n.y", "..x\r\n..y"},  // one line to the setter, two on the wire
        {"\n\n.", "\r\n\r\n.."},
        {"plain", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageForWire(NormalizeMessage(c.given)), c.wire) << c.given;
    }
}

TEST(WireText, RunsOfLineBreaksBecomeOneSpace) {
    EXPECT_EQ(OneLine("a\r\nb\n\n\rc\rd"), "a b c d");
    EXPECT_EQ(OneLine("\r\nlead"), " lead");
    EXPECT_EQ(OneLine("clean"), "clean");
}

TEST(MessageParts, BoundaryOfNoonOnNewYear2024) {
    LocalDateTime noon;
    noon.year = 2024;
    noon.month = 1;
    noon.day = 1;
    noon.hour = 12;
    EXPECT_EQ(MakeBoundary(noon), "----_=_NextPart_000_0000B0EC.02FAF080");
}

TEST(MessageParts, MessageIdShape) {
    const UtcStamp when{2024, 3, 9, 7, 5, 4, 21};
    const std::string id = MakeMessageId(when, 42, "mx.example.com");
    EXPECT_TRUE(std::regex_match(id, std::regex("20240309070504021\\.[A-Za-z0-8]{20}@mx\\.example\\.com"))) << id;
    EXPECT_NE(MakeMessageId(when, 43, "h"), MakeMessageId(when, 42, "h"));
}

TEST(MessageParts, AddressEntries) {
    EXPECT_EQ(AddressEntry("a@example.com", "Anna"), "\"Anna\" <a@example.com>");
    EXPECT_EQ(AddressEntry("b@example.com", ""), "\"b@example.com\" <b@example.com>");
    EXPECT_EQ(AddressEntry("c@example.com", "J\xFCrgen"), "=?ISO-8859-1?B?SvxyZ2Vu?= <c@example.com>");
}

class ComposeTest : public ::testing::Test {
protected:
    ComposeTest()
        : core(std::make_unique<ScriptedSystem>(), std::make_unique<MemoryStore>(), events), s(core.Settings()) {
        s.SetFrom("me@example.com");
        s.SetRecipient("you@example.com");
    }

    std::string File(const std::string& name, std::size_t size) {
        const auto path = dir.Path() / name;
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path.string();
    }

    RecordingEvents events;
    SendMailCore core;
    MailSettings& s;
    testing::TempDir dir;
};

TEST_F(ComposeTest, OnlyReferencedAttachmentsInsideTagsAreLinked) {
    const std::string image = File("pic.png", 10);
    const std::string other = File("other.txt", 10);
    s.SetAsHTML(true);
    s.SetMessage("pic.png in text, <img src=\"" + image + "\"> and <a href=x>PIC.PNG</a><img src=" + image + ">");
    s.SetAttachment(image + ";" + other);
    EXPECT_TRUE(LinkEmbeddedFiles(s));
    const std::string linked =
        "pic.png in text, <img src=\"cid:pic.png\"> and <a href=x>PIC.PNG</a><img src=cid:pic.png>";
    EXPECT_EQ(s.Message(), linked);
    EXPECT_EQ(s.EmbeddedFlags(), (std::vector<bool>{true, false}));
    EXPECT_TRUE(LinkEmbeddedFiles(s));
    EXPECT_EQ(s.Message(), linked);

    s.SetAsHTML(false);
    EXPECT_FALSE(LinkEmbeddedFiles(s));
}

TEST_F(ComposeTest, HeaderBlockOfAPlainMimeMessage) {
    s.SetMessage("caf\xE9");
    HeaderValues v{"id@h",
                   "\"me@example.com\" <me@example.com>",
                   "\"you@example.com\" <you@example.com>",
                   "",
                   "Mon, 1 Jan 2024 12:00:00 +0000",
                   "",
                   false,
                   false};
    EXPECT_EQ(HeaderLines(s, v), (std::vector<std::string>{
                                     "Message-ID: <id@h>", "From: " + v.fromLine, "To: " + v.toLine,
                                     "Subject: ", "Date: " + v.date, "MIME-Version: 1.0", "Content-Type: text/plain;",
                                     "\tcharset=\"iso-8859-1\"", "Content-Transfer-Encoding: 8bit"}));

    s.SetPriority(HIGH_PRIORITY);
    s.SetReceipt(true);
    s.SetReplyToAddress("r@example.com");
    v.ccLine = "\"c@example.com\" <c@example.com>";
    v.multipart = true;
    v.boundary = "B";
    const auto lines = HeaderLines(s, v);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + 3, lines.end()),
        (std::vector<std::string>{
            "Cc: " + v.ccLine, "Subject: ", "Reply-to: <r@example.com>", "Date: " + v.date, "MIME-Version: 1.0",
            "X-Priority: 1", "X-MSMail-Priority: High", "Disposition-Notification-To: " + v.fromLine,
            "Content-Type: multipart/mixed;", "\tboundary=\"B\"", "", "This is a multi-part message in MIME format.",
            "", "--B", "Content-Type: text/plain;", "\tcharset=\"iso-8859-1\"", "Content-Transfer-Encoding: 8bit"}));

    s.SetEncodeType(UU_ENCODE);
    EXPECT_EQ(HeaderLines(s, v).back(), "Date: " + v.date);
}

TEST_F(ComposeTest, SizeEstimate) {
    // 14 + 93 for the sender, 2 * 15 + 15 for the recipient, 14 again, 64 for MIME.
    EXPECT_EQ(EstimateMessageSize(s), 14 + 93 + 45 + 14 + 64);
    s.SetAttachment(File("a.bin", 570));
    // + 760 + 20 + 42 + 2 * 5 + 182 + 290
    EXPECT_EQ(EstimateMessageSize(s), 14 + 93 + 45 + 14 + 64 + 760 + 20 + 42 + 10 + 182 + 290);
    s.SetEncodeType(UU_ENCODE);
    EXPECT_EQ(EstimateMessageSize(s), 14 + 93 + 45 + 14 + 760 + 36 + 5 + 20);
}

}  // namespace
}  // namespace zankit::mail
