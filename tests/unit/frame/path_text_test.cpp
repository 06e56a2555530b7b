// The path helpers that work on text alone.
#include <gtest/gtest.h>

#include <functional>

#include "filesysinfo/path_text.h"
#include "frame/escaped_text.h"

using namespace zankit;

TEST(PathText, TextHelpers) {
    using Helper = std::function<std::wstring(const std::wstring&)>;
    const Helper fixPath = [](const std::wstring& t) { return path::FixPath(t); };
    const Helper fileName = [](const std::wstring& t) { return path::FileNameFromPath(t); };
    const Helper strip = [](const std::wstring& t) { return path::StripTrailingSeparator(t); };
    const Helper extension = [](const std::wstring& t) { return path::ExtensionOf(t); };
    const Helper trim = [](const std::wstring& t) {
        std::wstring copy = t;
        path::TrimAtNull(copy);
        return copy;
    };
    const Helper unescape = [](const std::wstring& t) { return UnescapeUnicode(t); };
    const struct {
        const char* what;
        const Helper& helper;
        std::wstring in, out;
    } rows[] = {
        {"FixPath adds one separator", fixPath, L"C:\\Temp", L"C:\\Temp\\"},
        {"FixPath keeps one", fixPath, L"C:\\Temp\\", L"C:\\Temp\\"},
        {"FixPath keeps two", fixPath, L"C:\\Temp\\\\", L"C:\\Temp\\\\"},
        {"FixPath of nothing", fixPath, L"", L"\\"},
        {"name after the last separator", fileName, L"C:\\a\\b.txt", L"b.txt"},
        {"a bare name", fileName, L"b.txt", L"b.txt"},
        {"no name after a separator", fileName, L"C:\\a\\", L""},
        {"a drive-relative name is kept whole", fileName, L"C:file.txt", L"C:file.txt"},
        {"no name at all", fileName, L"", L""},
        {"one separator stripped", strip, L"C:\\\\", L"C:\\"},
        {"nothing to strip", strip, L"C:\\a", L"C:\\a"},
        {"a dot in a folder is no extension", extension, L"C:\\a.b\\c", L""},
        {"the last extension", extension, L"archive.tar.gz", L"gz"},
        {"a trailing dot", extension, L"name.", L""},
        {"cut at the first NUL", trim, std::wstring(L"abc\0def\0", 8), L"abc"},
        {"no NUL", trim, L"abc", L"abc"},
        {"an escape", unescape, L"\\u00D6ffnen", L"\u00D6ffnen"},
        {"two escapes in either case", unescape, L"\\u00e4\\u00F6", L"\u00e4\u00f6"},
        {"\\u without four hex digits", unescape, L"C:\\users", L"C:\\users"},
        {"an escape cut short", unescape, L"end\\u00", L"end\\u00"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.helper(row.in), row.out) << row.what;
}

TEST(PathText, AttributeLettersInTheirFixedOrder) {
    EXPECT_EQ(path::AttributeLetters(255), L"RHASLC");
    EXPECT_EQ(path::AttributeLetters(39), L"RHAS");
    EXPECT_EQ(path::AttributeLetters(16), L"");
}

TEST(PathText, SizeTextRoundsToTwoPlacesWithTheGivenSeparator) {
    EXPECT_EQ(path::SizeText(1048575, L"."), L"1.00MB");
    EXPECT_EQ(path::SizeText(1572864, L","), L"1,50MB");
    EXPECT_EQ(path::SizeText(0, L"."), L"0.00MB");
    EXPECT_EQ(path::SizeText(1073741824, L"."), L"1.00GB");
    EXPECT_EQ(path::SizeText(1073741823, L"."), L"1024.00MB");
    // Sizes beyond 32 bits are real sizes, not wrapped ones.
    EXPECT_EQ(path::SizeText(500107862016LL, L"."), L"465.76GB");
}
