// The message as it leaves: the wire filter, the line builders, and the composed parts.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "../mail/mail_test_support.h"
#include "mail/message_compose.h"
#include "mail/wire_filter.h"
#include "mail/wire_text.h"

namespace zankit::mail {
namespace {

using testing::MemoryStore;
using testing::RecordingEvents;
using testing::ScriptedSystem;

// The filter's output for input written in pieces of pieceSize bytes (0: all at once).
std::string Filtered(const std::string& input, std::size_t pieceSize = 0) {
    std::string out;
    WireFilter filter([&](std::string_view bytes) { out.append(bytes); });
    const std::size_t step = pieceSize == 0 ? input.size() + 1 : pieceSize;
    for (std::size_t at = 0; at < input.size(); at += step) filter.Write(std::string_view(input).substr(at, step));
    filter.Finish();
    return out;
}

TEST(WireFilter, LineEndsLongLinesAndLeadingDots) {
    const std::string x998(998, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd"},
        {"a\r\n.b\n.c\r\rd", "a\r\n..b\r\n..c\r\n\r\nd"},
        {"\n\n.", "\r\n\r\n.."},
        {"a\r", "a\r\n"},
        {std::string(2000, 'x'), x998 + "\r\n" + x998 + "\r\nxxxx"},
        {std::string(500, 'a') + " " + std::string(600, 'b'), std::string(500, 'a') + " \r\n" + std::string(600, 'b')},
        {x998, x998},
        // A piece a break starts with "." is stuffed, or it could end the data early.
        {x998 + ".", x998 + "\r\n.."},
        // A bare LF ends a line for the length limit too: the long line is broken at 998 only.
        {"a\n" + std::string(2000, 'z') + "\nb",
         "a\r\n" + std::string(998, 'z') + "\r\n" + std::string(998, 'z') + "\r\nzzzz\r\nb"},
    };
    for (const auto& [given, wire] : cases) {
        SCOPED_TRACE(given.substr(0, 40));
        // State carries across writes: a CR LF split between two writes is one line end.
        for (std::size_t piece : {0, 1, 997}) EXPECT_EQ(Filtered(given, piece), wire) << "pieces of " << piece;
    }
}

TEST(LineBuilders, KeepEveryValueOnItsLine) {
    const std::pair<std::string, std::string> cases[] = {
        {OneLine("a\r\nb\n\n\rc\rd"), "a b c d"},
        {Command("USER", "me\r\nDELE 1"), "USER me DELE 1"},
        {Command("MAIL FROM:", "<a@b.c\nRCPT TO: <x>>"), "MAIL FROM: <a@b.c RCPT TO: <x>>"},
        {Command("QUIT"), "QUIT"},
        {HeaderLine("Subject", "Hello\r\nBcc: evil"), "Subject: Hello Bcc: evil"},
        // Folds stay folds; what lies between them stays on its line.
        {HeaderLine("To", "a\r\n\tb\nX: y"), "To: a\r\n\tb X: y"},
        {HeaderLine("Message-ID", "<id@host\r\nX-Injected: 1>"), "Message-ID: <id@host X-Injected: 1>"},
        {HeaderText("J\xFCrgen\r\nX", true), "=?ISO-8859-1?B?SvxyZ2VuIFg=?="},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);
    // A long header value is folded before a space, so the continuation starts with it.
    const std::string folded = HeaderLine("Subject", std::string(600, 'a') + " " + std::string(600, 'b'));
    EXPECT_EQ(folded, "Subject: " + std::string(600, 'a') + "\r\n " + std::string(600, 'b'));
}

TEST(MessageParts, BoundaryMessageIdAndAddressEntries) {
    LocalDateTime noon;
    noon.year = 2024;
    noon.day = 1;
    noon.hour = 12;
    EXPECT_EQ(MakeBoundary(noon), "----_=_NextPart_000_0000B0EC.02FAF080");

    const UtcStamp when{2024, 3, 9, 7, 5, 4, 21};
    const std::string id = MakeMessageId(when, 42, "mx.example.com");
    EXPECT_TRUE(std::regex_match(id, std::regex("20240309070504021\\.[A-Za-z0-8]{20}@mx\\.example\\.com"))) << id;
    EXPECT_NE(MakeMessageId(when, 43, "h"), MakeMessageId(when, 42, "h"));

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

TEST_F(ComposeTest, OnlyWholeNamesInsideTagsAreLinked) {
    const std::string image = File("a.png", 10);
    const std::string other = File("other.txt", 10);
    s.SetAsHTML(true);
    s.SetAttachment(image + ";" + other);
    struct Case {
        std::string html;
        std::string linked;
        bool related;
    };
    const Case cases[] = {
        {"a.png in text, <img src=\"" + image + "\"> and <a href=x>A.PNG</a><img src=" + image + ">",
         "a.png in text, <img src=\"cid:a.png\"> and <a href=x>A.PNG</a><img src=cid:a.png>", true},
        {"<img src=\"ba.png\"><img src=\"a.png.bak\">", "<img src=\"ba.png\"><img src=\"a.png.bak\">", false},
        {"<img src=\"x/a.png\">", "<img src=\"cid:a.png\">", true},
    };
    for (const auto& c : cases) {
        s.SetMessage(c.html);
        s.SetAttachment(image + ";" + other);
        EXPECT_EQ(LinkEmbeddedFiles(s), c.related) << c.html;
        EXPECT_EQ(s.Message(), c.linked);
        EXPECT_EQ(s.EmbeddedFlags(), (std::vector<bool>{c.related, false}));
        // Linking again changes nothing.
        LinkEmbeddedFiles(s);
        EXPECT_EQ(s.Message(), c.linked);
    }
    s.SetAsHTML(false);
    EXPECT_FALSE(LinkEmbeddedFiles(s));
}

TEST_F(ComposeTest, HeaderBlock) {
    s.SetMessage("caf\xE9");
    HeaderValues v{"id@h",
                   "\"me@example.com\" <me@example.com>",
                   "\"you@example.com\" <you@example.com>",
                   "",
                   "Mon, 1 Jan 2024 12:00:00 +0000",
                   "",
                   false,
                   false};
    EXPECT_EQ(HeaderLines(s, v),
              (std::vector<std::string>{"Message-ID: <id@h>", "From: " + v.fromLine, "To: " + v.toLine,
                                        "Subject: ", "Date: " + v.date, "MIME-Version: 1.0",
                                        "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"",
                                        "Content-Transfer-Encoding: 8bit"}));

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
            "Content-Type: multipart/mixed;\r\n\tboundary=\"B\"", "", "This is a multi-part message in MIME format.",
            "", "--B", "Content-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"", "Content-Transfer-Encoding: 8bit"}));
}

TEST_F(ComposeTest, PriorityWithoutTextAndContentBaseWithScheme) {
    HeaderValues v;
    const auto has = [&](const std::string& line) {
        const auto lines = HeaderLines(s, v);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    // A priority of its own number has no text: no empty header line for it.
    s.SetPriority(2);
    EXPECT_TRUE(has("X-Priority: 2"));
    EXPECT_FALSE(has("X-MSMail-Priority: "));
    s.SetAsHTML(true);
    s.SetContentBase("https://x/");
    EXPECT_TRUE(has("Content-Base: \"https://x/\""));
}

}  // namespace
}  // namespace zankit::mail
