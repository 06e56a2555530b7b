#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "mail/encodings.h"
#include "mail/mail_seam.h"

namespace zankit::mail {
namespace {

std::string Bytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

TEST(Base64Encode, ShortStringsArePaddedAndEndWithCrLf) {
    EXPECT_EQ(Base64EncodeString("abc"), "YWJj\r\n");
    EXPECT_EQ(Base64EncodeString("ab"), "YWI=\r\n");
    EXPECT_EQ(Base64EncodeString("a"), "YQ==\r\n");
    EXPECT_EQ(Base64EncodeString(""), "");
    EXPECT_EQ(Base64EncodeString(std::string("\xFF\xFE\x00", 3)), "//4A\r\n");
}

TEST(Base64Encode, LinesHold76CharactersAndBreakAfter57Bytes) {
    const std::string one = Base64EncodeBytes(Bytes(57));
    ASSERT_EQ(one.size(), 78u);
    EXPECT_EQ(one.substr(76), "\r\n");

    const std::string two = Base64EncodeBytes(Bytes(58));
    ASSERT_EQ(two.size(), 78u + 6u);
    EXPECT_EQ(two.substr(0, 78), one);
    EXPECT_EQ(two.substr(80, 2), "==");
    EXPECT_EQ(two.substr(82), "\r\n");
}

TEST(Base64Encode, PiecesOf11400BytesJoinIntoOneText) {
    const std::string data = Bytes(3 * 11400 + 100);
    const std::string whole = Base64EncodeBytes(data);
    std::string joined;
    for (std::size_t at = 0; at < data.size(); at += 11400) {
        joined += Base64EncodeBytes(std::string_view(data).substr(at, 11400));
    }
    EXPECT_EQ(joined, whole);
    EXPECT_EQ(Base64EncodeBytes(std::string_view(data).substr(0, 11400)).size(), 200u * 78u);
}

TEST(Base64Decode, DecodesGroupsAndPadding) {
    EXPECT_EQ(DecodeBase64String("YWJj"), "abc");
    EXPECT_EQ(DecodeBase64String("YWI="), "ab");
    EXPECT_EQ(DecodeBase64String("YQ=="), "a");
    EXPECT_EQ(DecodeBase64String(""), "");
    EXPECT_EQ(DecodeBase64String("//4A"), std::string("\xFF\xFE\x00", 3));
    EXPECT_NE(DecodeBase64String("ywjj"), DecodeBase64String("YWJj"));
}

TEST(Base64Decode, StopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(DecodeBase64String("YWJj\r\nZGVm"), "abc");
    EXPECT_EQ(DecodeBase64String("YWJjZG?m"), "abc");
    EXPECT_EQ(DecodeBase64String("YWJj ZGVm"), "abc");
}

TEST(Base64Decode, PaddingEndsOnlyItsOwnGroup) {
    EXPECT_EQ(DecodeBase64String("YQ==YWJj"), "aabc");
    EXPECT_EQ(DecodeBase64String("=AAAYWJj"), "abc");
}

TEST(Base64Decode, UnpaddedFinalGroupGivesOnlyTheBytesItCovers) {
    EXPECT_EQ(DecodeBase64String("YWJjYQ"), "abca");
    EXPECT_EQ(DecodeBase64String("YWJjYWI"), "abcab");
    EXPECT_EQ(DecodeBase64String("YWJjY"), "abc");
}

TEST(Base64Decode, RoundTripsEncodedLinesWithoutTheirBreaks) {
    for (std::size_t size : {1u, 2u, 3u, 56u, 57u, 58u, 1000u}) {
        const std::string data = Bytes(size);
        std::string encoded = Base64EncodeBytes(data);
        std::string flat;
        for (char c : encoded) {
            if (c != '\r' && c != '\n') flat.push_back(c);
        }
        EXPECT_EQ(DecodeBase64String(flat), data) << size;
    }
}

TEST(UUEncode, EncodesLinesWithLengthCharacterAndPadMarks) {
    EXPECT_EQ(UUEncodeLine("abc"), "#86)C");
    EXPECT_EQ(UUEncodeLine(std::string(64, 'x')), "");
    EXPECT_EQ(UUEncodeLine(std::string(63, 'x')).size(), 1u + 84u);

    const std::string full = UUEncodeLine(Bytes(45));
    EXPECT_EQ(full.size(), 61u);
    EXPECT_EQ(full[0], 'M');

    const std::string ten = UUEncodeLine(Bytes(10));
    EXPECT_EQ(ten[0], '*');
    EXPECT_EQ(ten.size(), 1u + 12u + 2u + 2u);
    EXPECT_EQ(ten.substr(15), "==");
    EXPECT_EQ(UUEncodeLine("ab").back(), '=');
    EXPECT_EQ(UUEncodeLine(std::string(3, '\0')), "#````");
}

TEST(HeaderText, PlainTextIsQuotedOnRequest) {
    EXPECT_EQ(EncodeHeaderText("Hello World", true), "\"Hello World\"");
    EXPECT_EQ(EncodeHeaderText("Hello World", false), "Hello World");
    EXPECT_EQ(EncodeHeaderText("", true), "\"\"");
}

TEST(HeaderText, EightBitTextBecomesEncodedWordsOf42Bytes) {
    EXPECT_EQ(EncodeHeaderText("\xE4", true), "=?ISO-8859-1?B?5A==?=");
    EXPECT_EQ(EncodeHeaderText(std::string("\x7F"), false), "=?ISO-8859-1?B?fw==?=");

    const std::string text = std::string(41, 'a') + "\xE4" + std::string(8, 'b');  // 50 bytes
    const std::string encoded = EncodeHeaderText(text, true);
    const auto fold = encoded.find("\r\n\t");
    ASSERT_NE(fold, std::string::npos);
    EXPECT_EQ(encoded.find("\r\n\t", fold + 1), std::string::npos);
    const std::string first = encoded.substr(0, fold);
    const std::string second = encoded.substr(fold + 3);
    ASSERT_EQ(first.size(), 73u);
    EXPECT_EQ(first.substr(0, 15), "=?ISO-8859-1?B?");
    EXPECT_EQ(first.substr(71), "?=");
    EXPECT_EQ(DecodeBase64String(first.substr(15, 56)), text.substr(0, 42));
    EXPECT_EQ(DecodeBase64String(second.substr(15, second.size() - 17)), std::string(8, 'b'));
}

TEST(MailDate, FormatsDayMonthTimeAndZone) {
    LocalDateTime when;
    when.year = 2024;
    when.month = 1;
    when.day = 1;
    when.weekday = 2;
    when.hour = 9;
    when.minute = 5;
    when.second = 3;
    EXPECT_EQ(FormatMailDate(when, "+0100"), "Mon, 1 Jan 2024 09:05:03 +0100");
    when.month = 12;
    when.day = 31;
    when.weekday = 7;
    when.hour = 23;
    EXPECT_EQ(FormatMailDate(when, "-0330"), "Sat, 31 Dec 2024 23:05:03 -0330");
}

// Sets TZ for one test and restores the process's zone afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (old_.empty()) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", old_.c_str(), 1);
        }
        ::tzset();
    }

private:
    std::string old_;
};

TEST(TimeZone, PlatformBiasFollowsTheLocalZone) {
    const auto system = MakePlatformMailSystem();
    {
        ZoneScope zone("<NST>3:30");  // St. John's standard time, no daylight rule
        EXPECT_EQ(TimeZoneText(system->TimeZoneBiasMinutes()), "-0330");
    }
    {
        ZoneScope zone("<IST>-5:30");  // India
        EXPECT_EQ(TimeZoneText(system->TimeZoneBiasMinutes()), "+0530");
    }
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(TimeZoneText(system->TimeZoneBiasMinutes()), "+0000");
    }
}

}  // namespace
}  // namespace zankit::mail
