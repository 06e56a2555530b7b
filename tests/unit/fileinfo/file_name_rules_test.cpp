#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fileinfo/file_name_rules.h"

namespace zankit::fileinfo {
namespace {

TEST(FileNameRules, ValidNamesRefuseEmptyLongEdgeSpacesTrailingDotAndForbiddenCharacters) {
    EXPECT_TRUE(IsValidFileName(L"a b"));
    EXPECT_TRUE(IsValidFileName(L"report \"final\".txt"));  // the double quote is allowed
    EXPECT_TRUE(IsValidFileName(L"\x65E5\x672C.txt"));
    EXPECT_TRUE(IsValidFileName(std::wstring(259, L'x')));
    EXPECT_FALSE(IsValidFileName(std::wstring(260, L'x')));
    EXPECT_FALSE(IsValidFileName(L""));
    EXPECT_FALSE(IsValidFileName(L" a"));
    EXPECT_FALSE(IsValidFileName(L"a "));
    EXPECT_FALSE(IsValidFileName(L"a."));
    for (wchar_t c : kForbiddenNameCharacters) {
        EXPECT_FALSE(IsValidFileName(std::wstring(L"a") + c + L"b")) << static_cast<int>(c);
    }
    EXPECT_FALSE(IsValidFileName(L"C:\\Temp\\a.txt"));
}

TEST(FileNameRules, CleaningDropsOneDotThenSpacesThenForbiddenCharacters) {
    EXPECT_EQ(CleanFileName(L"a:b*c."), L"abc");
    EXPECT_EQ(CleanFileName(L"  name.txt  "), L"name.txt");
    EXPECT_EQ(CleanFileName(L"name. "), L"name.");  // the dot goes only when it is last
    EXPECT_EQ(CleanFileName(L"a.."), L"a.");
    EXPECT_EQ(CleanFileName(L"   "), L"");
    EXPECT_EQ(CleanFileName(L""), L"");
    EXPECT_EQ(CleanFileName(L"?*\\:/<>|"), L"");
    EXPECT_EQ(CleanFileName(L"C:\\Temp\\x<1>.txt"), L"CTempx1.txt");
    // Cut to 260 characters before the forbidden ones go.
    std::wstring longName = L"::" + std::wstring(300, L'y');
    EXPECT_EQ(CleanFileName(longName), std::wstring(258, L'y'));
}

TEST(FileNameRules, ExecutableListHas54DistinctEntriesAndIgnoresCase) {
    std::set<std::wstring_view> distinct(kExecutableExtensions.begin(), kExecutableExtensions.end());
    EXPECT_EQ(distinct.size(), 54u);
    EXPECT_EQ(kExecutableExtensions.front(), L"ADE");
    EXPECT_EQ(kExecutableExtensions.back(), L"HTML");
    EXPECT_TRUE(IsExecutableExtension(L"exe"));
    EXPECT_TRUE(IsExecutableExtension(L"7z"));
    EXPECT_TRUE(IsExecutableExtension(L"AccDb"));
    EXPECT_TRUE(IsExecutableExtension(L"html"));
    EXPECT_FALSE(IsExecutableExtension(L"docx"));
    EXPECT_FALSE(IsExecutableExtension(L"ex"));
    EXPECT_FALSE(IsExecutableExtension(L"exe "));
    EXPECT_FALSE(IsExecutableExtension(L""));
}

}  // namespace
}  // namespace zankit::fileinfo
