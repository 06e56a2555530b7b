// Wine's shell names every file type, so the names made from a file name when the shell has
// none are checked here rather than through the DLL.
#include "icon/icon_key.h"

#include <gtest/gtest.h>

namespace zankit {
namespace {

// Stands in for the system's mapping the DLL passes (ASCII is enough to see where it applies).
std::wstring UpperCase(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 0x20);
    }
    return upper;
}

TEST(IconKey, TheShellsNameOrOneMadeFromTheTextAfterTheFirstDotAndBlankNames) {
    const struct {
        const wchar_t *file, *shellName, *key;
    } cases[] = {
        {L"x.txt", L"Text Document", L"Text Document"},
        {L"C:\\data\\report.final.zk", L"", L"FINAL.ZK-Datei"},
        {L".profile", L"", L"PROFILE-Datei"},
        {L"name.", L"", L"-Datei"},
        {L"README", L"", L"Datei"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconKey(c.file, c.shellName, UpperCase), c.key) << testing::PrintToString(std::wstring(c.file));
    // Only spaces make a file name blank.
    for (const wchar_t* name : {L"", L"   "}) EXPECT_TRUE(IsBlankName(name));
    for (const wchar_t* name : {L" a ", L"\t"}) EXPECT_FALSE(IsBlankName(name));
}

}  // namespace
}  // namespace zankit
