// Exact encodings of known texts. Round trips over arbitrary bytes are the fuzz target's part
// (tests/fuzz/mail_base64_fuzz.cpp).
#include <gtest/gtest.h>

#include <string>

#include "mail/encodings.h"

namespace zankit::mail {
namespace {

std::string Bytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

struct TextRow {
    std::string input;
    std::string expected;
};

void ExpectRows(std::string (*convert)(std::string_view), std::initializer_list<TextRow> rows) {
    for (const TextRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.input));
        EXPECT_EQ(convert(row.input), row.expected);
    }
}

TEST(Base64, KnownTexts) {
    ExpectRows(Base64EncodeString, {{"abc", "YWJj\r\n"},
                                    {"ab", "YWI=\r\n"},
                                    {"a", "YQ==\r\n"},
                                    {"", ""},
                                    {std::string("\xFF\xFE\x00", 3), "//4A\r\n"}});
    ExpectRows(DecodeBase64String, {{"YWJj", "abc"},
                                    {"YQ==", "a"},
                                    {"//4A", std::string("\xFF\xFE\x00", 3)},
                                    {"ywjj", "\xCB\x08\xE3"},  // letter case counts
                                    {"YWJj\r\nZGVm", "abc"},   // stops at the first foreign character
                                    {"YWJjZG?m", "abc"},
                                    {"YWJj ZGVm", "abc"},
                                    {"YQ==YWJj", "aabc"},  // padding ends only its own group
                                    {"=AAAYWJj", "abc"},
                                    {"YWJjYQ", "abca"},  // an unpadded last group gives the bytes it covers
                                    {"YWJjYWI", "abcab"},
                                    {"YWJjY", "abc"}});
}

TEST(Base64, LinesOf76CharactersAndPiecesOf11400BytesJoinIntoOneText) {
    const std::string one = Base64EncodeBytes(Bytes(57));
    EXPECT_EQ(one.size(), 78u);
    EXPECT_EQ(Base64EncodeBytes(Bytes(58)), one + Base64EncodeBytes(Bytes(58).substr(57)));

    const std::string data = Bytes(3 * 11400 + 100);
    std::string joined;
    for (std::size_t at = 0; at < data.size(); at += 11400) {
        joined += Base64EncodeBytes(std::string_view(data).substr(at, 11400));
    }
    EXPECT_EQ(joined, Base64EncodeBytes(data));
}

TEST(UUEncode, LengthCharacterGroupsAndPadMarks) {
    ExpectRows(UUEncodeLine, {{"abc", "#86)C"},
                              {std::string(3, '\0'), "#````"},
                              {"ab", "\"86(="},
                              {"a", "!80=="},
                              {std::string(64, 'x'), ""}});
    EXPECT_EQ(UUEncodeLine(Bytes(45)).substr(0, 1), "M");
}

TEST(HeaderText, QuotedPlainTextAndEncodedWordsOf42Bytes) {
    const struct {
        std::string text;
        bool quote;
        std::string expected;
    } rows[] = {
        {"Hello World", true, "\"Hello World\""},
        {"Hello World", false, "Hello World"},
        {"", true, "\"\""},
        {"\xE4", true, "=?ISO-8859-1?B?5A==?="},
        {"\x7F", false, "=?ISO-8859-1?B?fw==?="},
        {std::string(41, 'a') + "\xE4" + "bbbbbbbb", true,
         "=?ISO-8859-1?B?" + Base64EncodeString(std::string(41, 'a') + "\xE4").substr(0, 56) +
             "?=\r\n\t=?ISO-8859-1?B?YmJiYmJiYmI=?="},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(EncodeHeaderText(row.text, row.quote), row.expected);
    }
}

TEST(MailDate, DayMonthTimeAndZone) {
    LocalDateTime newYear{2024, 1, 1, 2, 9, 5, 3};
    LocalDateTime silvester{2024, 12, 31, 7, 23, 5, 3};
    EXPECT_EQ(FormatMailDate(newYear, "+0100"), "Mon, 1 Jan 2024 09:05:03 +0100");
    EXPECT_EQ(FormatMailDate(silvester, "-0330"), "Sat, 31 Dec 2024 23:05:03 -0330");
}

TEST(MailDate, ZoneTextFromTheBiasInMinutes) {
    const struct {
        long bias;
        const char* text;
    } rows[] = {{-60, "+0100"}, {210, "-0330"}, {-330, "+0530"}, {0, "+0000"}};
    for (const auto& row : rows) EXPECT_EQ(TimeZoneText(row.bias), row.text) << row.bias;
}

}  // namespace
}  // namespace zankit::mail
