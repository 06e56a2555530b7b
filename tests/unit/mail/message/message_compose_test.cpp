// The message as it leaves: the wire filter, the line builders, the composed parts, and exact
// encodings of known texts (round trips over arbitrary bytes are the fuzz target's part).
#include <gtest/gtest.h>

#include "../session_test_support.h"
#include "mail/message/encodings.h"
#include "mail/message/message_compose.h"
#include "mail/message/wire_filter.h"
#include "mail/message/wire_text.h"

namespace zankit::mail {
namespace {

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
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd"}, {"a\r\n.b\n.c\r\rd", "a\r\n..b\r\n..c\r\n\r\nd"},
        {"\n\n.", "\r\n\r\n.."}, {"a\r", "a\r\n"}, {x998, x998},
        {std::string(2000, 'x'), x998 + "\r\n" + x998 + "\r\nxxxx"},
        {std::string(500, 'a') + " " + std::string(600, 'b'), std::string(500, 'a') + " \r\n" + std::string(600, 'b')},
        // A piece a break starts with "." is stuffed, or it could end the data early.
        {x998 + ".", x998 + "\r\n.."},
        // A bare LF ends a line for the length limit too: the long line is broken at 998 only.
        {"a\n" + std::string(2000, 'z') + "\nb",
         "a\r\n" + std::string(998, 'z') + "\r\n" + std::string(998, 'z') + "\r\nzzzz\r\nb"},
    };
    // clang-format on
    for (const auto& [given, wire] : cases) {
        SCOPED_TRACE(given.substr(0, 40));
        // State carries across writes: a CR LF split between two writes is one line end.
        for (std::size_t piece : {0, 1, 997}) EXPECT_EQ(Filtered(given, piece), wire) << "pieces of " << piece;
    }
}

TEST(LineBuilders, KeepEveryValueOnItsLine) {
    const std::pair<std::string, std::string> cases[] = {
        {OneLine("a\r\nb\n\n\rc\rd"), "a b c d"},
        {Command("MAIL FROM:", "<a@b.c\nRCPT TO: <x>>"), "MAIL FROM: <a@b.c RCPT TO: <x>>"},
        {HeaderLine("Subject", "Hello\r\nBcc: evil"), "Subject: Hello Bcc: evil"},
        // Folds stay folds; what lies between them stays on its line.
        {HeaderLine("To", "a\r\n\tb\nX: y"), "To: a\r\n\tb X: y"},
        {HeaderText("J\u00FCrgen\r\nX", true, 47), "=?UTF-8?B?SsO8cmdlbiBY?="},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);
    // A long header value is folded before a space, so the continuation starts with it.
    const std::string folded = HeaderLine("Subject", std::string(600, 'a') + " " + std::string(600, 'b'));
    EXPECT_EQ(folded, "Subject: " + std::string(600, 'a') + "\r\n " + std::string(600, 'b'));
}

class ComposeTest : public ::testing::Test, protected testing::ScriptedMail {
protected:
    ComposeTest() {
        s.SetFrom("me@example.com");
        s.SetRecipient("you@example.com");
    }
    testing::TempDir dir;
};

TEST_F(ComposeTest, OnlyWholeNamesInsideTagsAreLinked) {
    const std::string image = testing::BinaryFile(dir.Path(), "a.png", 10);
    const std::string other = testing::BinaryFile(dir.Path(), "other.txt", 10);
    s.SetAsHTML(true);
    const struct {
        std::string html, linked;
        bool related;
    } cases[] = {
        {"a.png in text, <img src=\"" + image + "\"> and <a href=x>A.PNG</a><img src=" + image + ">",
         "a.png in text, <img src=\"cid:a.png\"> and <a href=x>A.PNG</a><img src=cid:a.png>", true},
        {"<img src=\"ba.png\"><img src=\"a.png.bak\">", "<img src=\"ba.png\"><img src=\"a.png.bak\">", false},
        {"<img src=\"x/a.png\">", "<img src=\"cid:a.png\">", true},
    };
    for (const auto& c : cases) {
        s.SetMessage(c.html);
        s.SetAttachment(image + ";" + other);
        EXPECT_EQ(LinkEmbeddedFiles(s), c.related) << c.html;
        LinkEmbeddedFiles(s);  // linking again changes nothing
        EXPECT_EQ(s.Message(), c.linked);
        EXPECT_EQ(s.Attachments().EmbeddedFlags(), (std::vector<bool>{c.related, false}));
    }
    s.SetAsHTML(false);
    EXPECT_FALSE(LinkEmbeddedFiles(s));
}

TEST_F(ComposeTest, HeaderBlock) {
    s.SetMessage("caf\u00E9");
    s.SetPriority(HIGH_PRIORITY);
    s.SetReceipt(true);
    s.SetReplyToAddress("r@example.com");
    HeaderValues v{"id@h", "<me>", "<you>", "<c>", "Mon, 1 Jan 2024 12:00:00 +0000", "B", true, false, {}};
    v.body = BodyForm{"utf-8", BodyTransfer::QuotedPrintable};
    EXPECT_EQ(HeaderLines(s, v),
              (std::vector<std::string>{
                  "Message-ID: <id@h>", "From: <me>", "To: <you>", "Cc: <c>", "Subject: ", "Reply-to: <r@example.com>",
                  "Date: " + v.date, "MIME-Version: 1.0", "X-Priority: 1", "X-MSMail-Priority: High",
                  "Disposition-Notification-To: <me>", "Content-Type: multipart/mixed;\r\n\tboundary=\"B\"", "",
                  "This is a multi-part message in MIME format.", "", "--B",
                  "Content-Type: text/plain;\r\n\tcharset=\"utf-8\"", "Content-Transfer-Encoding: quoted-printable"}));
    // A priority of its own number has no text: no empty header line for it.
    s.SetPriority(2);
    const auto lines = HeaderLines(s, HeaderValues{});
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-Priority: 2"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-MSMail-Priority: "), 0);
}

TEST(Encodings, KnownTextsAndMailDates) {
    const std::pair<std::string, std::string> decoded[] = {
        {"ywjj", "\xCB\x08\xE3"},                        // letter case counts
        {"YWJj\r\nZGVm", "abc"},                         // stops at the first foreign character
        {"YQ==YWJj", "aabc"},                            // padding ends only its own group
        {"=AAAYWJj", "abc"},      {"YWJjYWI", "abcab"},  // an unpadded last group gives the bytes it covers
        {"YWJjY", "abc"}};
    for (const auto& [text, bytes] : decoded) EXPECT_EQ(DecodeBase64String(text), bytes) << text;
    EXPECT_EQ(Base64EncodeString(std::string("\xFF\xFE\x00", 3)), "//4A\r\n");
    EXPECT_EQ(UUEncodeLine(std::string(3, '\0')), "#````");
    EXPECT_EQ(UUEncodeLine("ab"), "\"86(=");
    EXPECT_EQ(FormatMailDate(LocalDateTime{2024, 1, 1, 2, 9, 5, 3}, "+0100"), "Mon, 1 Jan 2024 09:05:03 +0100");
    EXPECT_EQ(FormatMailDate(LocalDateTime{2024, 12, 31, 7, 23, 5, 3}, "-0330"), "Sat, 31 Dec 2024 23:05:03 -0330");
}

}  // namespace
}  // namespace zankit::mail
