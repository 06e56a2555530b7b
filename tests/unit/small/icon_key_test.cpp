// The image key of a file type when the shell names it, and the name made from the file
// name when it does not. Wine's shell names every type (".xyz file", "File"), so the made-up
// names are checked here rather than through the DLL.
#include "small/icon_key.h"

#include <gtest/gtest.h>

namespace zankit {
namespace {

TEST(IconKey, TheShellsNameOrOneMadeFromTheTextAfterTheFirstDot) {
    struct Case {
        const wchar_t* file;
        const wchar_t* shellName;
        const wchar_t* key;
    };
    const Case cases[] = {
        {L"x.txt", L"Text Document", L"Text Document"},
        {L"a.b.xyz", L"", L"B.XYZ-Datei"},
        {L"C:\\data\\report.final.zk", L"", L"FINAL.ZK-Datei"},
        {L".profile", L"", L"PROFILE-Datei"},
        {L"name.", L"", L"-Datei"},
        {L"README", L"", L"Datei"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IconKey(c.file, c.shellName), c.key) << std::wstring(c.file).size();
    }
}

TEST(IconKey, OnlySpacesMakeANameBlank) {
    EXPECT_TRUE(IsBlankName(L""));
    EXPECT_TRUE(IsBlankName(L"   "));
    EXPECT_FALSE(IsBlankName(L" a "));
    EXPECT_FALSE(IsBlankName(L"\t"));
}

}  // namespace
}  // namespace zankit
