// The text rules behind the query members: file names and display texts.
#include <gtest/gtest.h>

#include "fileinfo/display_texts.h"
#include "fileinfo/file_name_rules.h"

namespace zankit::fileinfo {
namespace {

TEST(FileNameRules, ValidityCleanupAndExecutables) {
    EXPECT_TRUE(IsValidFileName(L"say \"hi\".txt"));  // the double quote is allowed
    EXPECT_TRUE(IsValidFileName(std::wstring(259, L'x')));
    EXPECT_FALSE(IsValidFileName(std::wstring(260, L'x')));
    for (const wchar_t* bad : {L"", L" a", L"a ", L"a.", L"a<b", L"C:\\a.txt", L"a|b", L"a?"})
        EXPECT_FALSE(IsValidFileName(bad)) << bad;
    EXPECT_EQ(CleanFileName(L"a:b*c."), L"abc");
    EXPECT_EQ(CleanFileName(L"name. "), L"name.");  // the dot goes only when it is last
    EXPECT_EQ(CleanFileName(L"   "), L"");
    // Cut to 260 characters before the forbidden ones go.
    EXPECT_EQ(CleanFileName(L"::" + std::wstring(300, L'y')), std::wstring(258, L'y'));
    // Executable extensions ignore case and match whole.
    for (const wchar_t* yes : {L"exe", L"7z", L"AccDb", L"HTML"}) EXPECT_TRUE(IsExecutableExtension(yes)) << yes;
    for (const wchar_t* no : {L"docx", L"ex", L"exe ", L""}) EXPECT_FALSE(IsExecutableExtension(no)) << no;
}

TEST(DisplayTexts, KilobytesDriveTypesSerialsAndShortDates) {
    EXPECT_EQ(KiloByteText(1000, L"."), L"1.5 KB");
    EXPECT_EQ(KiloByteText(0, L","), L"0,5 KB");
    EXPECT_EQ(KiloByteText(2147483647, L"."), L"2097152.5 KB");  // once an overflow
    EXPECT_EQ(DriveTypeText(4).value(), L"Netz-Laufwerk");
    EXPECT_FALSE(DriveTypeText(7).has_value());
    EXPECT_EQ(SerialNumberText(0xFFFFFFFFu), L"-1");
    EXPECT_EQ(SerialNumberText(0x43000000u), L"1124073472");
    EXPECT_EQ(ShortDatePattern(L"dd.MM.yy"), L"dd.mm.yyyy");
    EXPECT_EQ(ShortDatePattern(L"YYYY-MM-dd"), L"yyyy-mm-dd");
}

}  // namespace
}  // namespace zankit::fileinfo
