// The rules of the mail class without a session: host names and addresses, address lists, exact
// encodings of known texts (round trips over arbitrary bytes are the fuzz target's part), the
// reply size cap and progress percentages.
#include <gtest/gtest.h>

#include "mail/address_validation.h"
#include "mail/message/encodings.h"
#include "mail/session/reply_assembler.h"
#include "mail/session/session_rules.h"
#include "mail/text_rules.h"

namespace zankit::mail {
namespace {

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
    EXPECT_EQ(EncodeHeaderText("Hello World", true), "\"Hello World\"");
    // Encoded words hold 42 bytes each.
    const std::string long8bit = std::string(41, 'a') + "\xE4";
    EXPECT_EQ(EncodeHeaderText(long8bit + "bbbbbbbb", true),
              "=?ISO-8859-1?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWHk?=\r\n\t"
              "=?ISO-8859-1?B?YmJiYmJiYmI=?=");
    EXPECT_EQ(FormatMailDate(LocalDateTime{2024, 1, 1, 2, 9, 5, 3}, "+0100"), "Mon, 1 Jan 2024 09:05:03 +0100");
    EXPECT_EQ(FormatMailDate(LocalDateTime{2024, 12, 31, 7, 23, 5, 3}, "-0330"), "Sat, 31 Dec 2024 23:05:03 -0330");
}

// Replies are assembled from pieces (the matrix of scripted servers and the fuzz target cover
// that); a reply past the cap is cut off, with or without line ends.
TEST(ReplyAssembly, AReplyPastTheCapIsCutOff) {
    std::string endlessLines;
    for (int i = 0; i < 1200; ++i) endlessLines += "250-more\r\n";
    for (const std::string& bytes : {endlessLines, std::string(70000, 'x')}) {
        ReplyAssembler replies;
        replies.SetMode(ReplyAssembler::Mode::Smtp);
        std::optional<Reply> reply;  // the first reply, asked for after each piece
        for (std::size_t at = 0; at < bytes.size() && !reply; at += 4096) {
            replies.Append(std::string_view(bytes).substr(at, 4096));
            reply = replies.NextReply();
        }
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->code, kReplyTooLong);
        EXPECT_LE(reply->text.size(), ReplyAssembler::kMaxReplyBytes + 4096);
    }
}

TEST(ProgressMaths, RoundsHalvesToEvenAndCapsAt100) {
    const struct {
        std::int64_t sent, total;
        std::int32_t percent;
    } cases[] = {{1, 8, 12}, {3, 8, 38}, {5, 8, 62},
                 {1, 3, 33}, {2, 3, 67}, {300, 100, 100},
                 {5, 0, 0},  {5, -1, 0}, {3000000000LL, 6000000000LL, 50}};
    for (const auto& c : cases) EXPECT_EQ(ProgressPercent(c.sent, c.total), c.percent) << c.sent << "/" << c.total;
}

}  // namespace
}  // namespace zankit::mail
