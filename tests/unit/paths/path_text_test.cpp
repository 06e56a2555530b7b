// The path helpers that work on text alone.
#include <gtest/gtest.h>

#include "paths/path_text.h"
#include "frame/escaped_text.h"

using namespace zankit;

TEST(PathText, TextHelpersAttributeLettersAndSizeTexts) {
    using Helper = std::wstring (*)(std::wstring_view);
    const Helper fixPath = path::FixPath, fileName = path::FileNameFromPath, strip = path::StripTrailingSeparator,
                 extension = path::ExtensionOf, unescape = UnescapeUnicode;
    const Helper trim = [](std::wstring_view text) {
        std::wstring copy(text);
        path::TrimAtNull(copy);
        return copy;
    };
    const struct {
        const char* what;
        Helper helper;
        std::wstring in, out;
    } rows[] = {
        {"FixPath adds one separator", fixPath, L"C:\\Temp", L"C:\\Temp\\"},
        {"FixPath keeps two", fixPath, L"C:\\Temp\\\\", L"C:\\Temp\\\\"},
        {"FixPath of nothing", fixPath, L"", L"\\"},
        {"name after the last separator", fileName, L"C:\\a\\b.txt", L"b.txt"},
        {"no name after a separator", fileName, L"C:\\a\\", L""},
        {"a drive-relative name is kept whole", fileName, L"C:file.txt", L"C:file.txt"},
        {"one separator stripped", strip, L"C:\\\\", L"C:\\"},
        {"a dot in a folder is no extension", extension, L"C:\\a.b\\c", L""},
        {"the last extension", extension, L"archive.tar.gz", L"gz"},
        {"a trailing dot", extension, L"name.", L""},
        {"cut at the first NUL", trim, std::wstring(L"abc\0def\0", 8), L"abc"},
        {"two escapes in either case", unescape, L"\\u00e4\\u00F6", L"\u00e4\u00f6"},
        {"\\u without four hex digits", unescape, L"C:\\users", L"C:\\users"},
        {"an escape cut short", unescape, L"end\\u00", L"end\\u00"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.helper(row.in), row.out) << row.what;

    EXPECT_EQ(path::AttributeLetters(255), L"RHASLC");  // in their fixed order
    EXPECT_EQ(path::AttributeLetters(16), L"");
    // Two places, rounded, with the given separator.
    EXPECT_EQ(path::SizeText(1048575, L"."), L"1.00MB");
    EXPECT_EQ(path::SizeText(1572864, L","), L"1,50MB");
    EXPECT_EQ(path::SizeText(1073741823, L"."), L"1024.00MB");
    EXPECT_EQ(path::SizeText(500107862016LL, L"."), L"465.76GB");  // beyond 32 bits, not wrapped
}
