// The path helpers that work on text alone.
#include <gtest/gtest.h>

#include "frame/escaped_text.h"
#include "filesysinfo/path_text.h"

using namespace zankit;

TEST(PathText, FixPathAddsExactlyOneSeparator) {
    EXPECT_EQ(path::FixPath(L"C:\\Temp"), L"C:\\Temp\\");
    EXPECT_EQ(path::FixPath(L"C:\\Temp\\"), L"C:\\Temp\\");
    EXPECT_EQ(path::FixPath(L"C:\\Temp\\\\"), L"C:\\Temp\\\\");
    EXPECT_EQ(path::FixPath(L""), L"\\");
}

TEST(PathText, FileNameFromPathTakesTheLastPiece) {
    EXPECT_EQ(path::FileNameFromPath(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(path::FileNameFromPath(L"b.txt"), L"b.txt");
    EXPECT_EQ(path::FileNameFromPath(L"C:\\a\\"), L"");
    EXPECT_EQ(path::FileNameFromPath(L"\\\\server\\share\\x"), L"x");
    EXPECT_EQ(path::FileNameFromPath(L"C:file.txt"), L"C:file.txt");
    EXPECT_EQ(path::FileNameFromPath(L""), L"");  // no piece at all: the empty result
}

TEST(PathText, StripTrailingSeparatorRemovesOneOnly) {
    EXPECT_EQ(path::StripTrailingSeparator(L"C:\\\\"), L"C:\\");
    EXPECT_EQ(path::StripTrailingSeparator(L"C:\\a"), L"C:\\a");
    EXPECT_EQ(path::StripTrailingSeparator(L""), L"");
}

TEST(PathText, TrimAtNullCutsAtTheFirstNul) {
    std::wstring text(L"abc\0def\0", 8);
    path::TrimAtNull(text);
    EXPECT_EQ(text, L"abc");
    std::wstring plain = L"abc";
    path::TrimAtNull(plain);
    EXPECT_EQ(plain, L"abc");
}

TEST(PathText, ExtensionOfLooksAtTheLastElementOnly) {
    EXPECT_EQ(path::ExtensionOf(L"C:\\a.b\\c"), L"");
    EXPECT_EQ(path::ExtensionOf(L"archive.tar.gz"), L"gz");
    EXPECT_EQ(path::ExtensionOf(L"a.Txt"), L"Txt");
    EXPECT_EQ(path::ExtensionOf(L"name."), L"");
    EXPECT_EQ(path::ExtensionOf(L"noextension"), L"");
}

TEST(PathText, AttributeLettersInTheirFixedOrder) {
    EXPECT_EQ(path::AttributeLetters(255), L"RHASLC");
    EXPECT_EQ(path::AttributeLetters(33), L"RA");
    EXPECT_EQ(path::AttributeLetters(39), L"RHAS");
    EXPECT_EQ(path::AttributeLetters(16), L"");
    EXPECT_EQ(path::AttributeLetters(0), L"");
}

TEST(PathText, SizeTextRoundsToTwoPlacesWithTheGivenSeparator) {
    EXPECT_EQ(path::SizeText(1048575, L"."), L"1.00MB");
    EXPECT_EQ(path::SizeText(1572864, L"."), L"1.50MB");
    EXPECT_EQ(path::SizeText(1572864, L","), L"1,50MB");
    EXPECT_EQ(path::SizeText(0, L"."), L"0.00MB");
    EXPECT_EQ(path::SizeText(1073741824, L"."), L"1.00GB");
    EXPECT_EQ(path::SizeText(1073741823, L"."), L"1024.00MB");
    // Sizes beyond 32 bits are real sizes, not wrapped ones.
    EXPECT_EQ(path::SizeText(500107862016LL, L"."), L"465.76GB");
}

TEST(EscapedText, UnicodeEscapesBecomeCharacters) {
    EXPECT_EQ(UnescapeUnicode(L"\\u00D6ffnen"), L"\u00D6ffnen");
    EXPECT_EQ(UnescapeUnicode(L"plain"), L"plain");
    EXPECT_EQ(UnescapeUnicode(L"C:\\users"), L"C:\\users");  // \u not followed by four hex digits
    EXPECT_EQ(UnescapeUnicode(L"end\\u00"), L"end\\u00");
    EXPECT_EQ(UnescapeUnicode(L"\\u00e4\\u00F6"), L"\u00e4\u00f6");
}
