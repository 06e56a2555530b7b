// The dialog rules that need no window: filters, flags, multiple selections, refused folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/file_dialog_rules.h"
#include "dialogs/folder_browser_rules.h"

namespace zankit::dialogs {
namespace {

using namespace std::string_literals;

TEST(FileDialogRules, FiltersFlagsSelectionsAndTheSaveTitle) {
    // ":" separates as "|" does, also inside a description.
    EXPECT_EQ(DialogFilter(L"Bilder: alle|*.*"), L"Bilder\0 alle\0*.*\0\0"s);
    EXPECT_EQ(DialogFilter(L""), L"\0\0"s);
    // Hook and template flags are dropped; a multiple selection is explorer style.
    EXPECT_EQ(OpenDialogFlags(false, false, true, false, 0x0020 | 0x0040 | 0x0008), 0x0009u);
    EXPECT_EQ(OpenDialogFlags(false, false, false, false, 0x0200), 0x80200u);
    EXPECT_EQ(SaveDialogFlags(true, 0x0060), 0x0006u);

    // The caller's filter index is limited to the pairs and picks the pattern.
    const struct {
        long index, limited;
        const wchar_t* pattern;  // nullptr: no pattern (a failure for the member)
    } cases[] = {{1, 1, L"*.txt"}, {2, 2, L"*.*"}, {5, 2, L"*.*"}, {0, 0, nullptr}, {-3, -3, nullptr}};
    for (const auto& c : cases) {
        const CallerFilter chosen = ChooseCallerFilter(L"Text (*.txt)|*.txt|Alle (*.*)|*.*", c.index);
        EXPECT_EQ(chosen.limitedIndex, c.limited) << c.index;
        EXPECT_EQ(chosen.pattern.value_or(L"none"), c.pattern ? c.pattern : L"none") << c.index;
    }
    // A filter without a pattern holds no whole pair: any index is limited to 0.
    EXPECT_FALSE(ChooseCallerFilter(L"Nur Text", 1).pattern);

    using Paths = std::vector<std::wstring>;
    EXPECT_EQ(ParseMultiSelection(L"C:\\Data\\one.txt\0\0\0"s), Paths{L"C:\\Data\\one.txt"});
    EXPECT_EQ(ParseMultiSelection(L"C:\\Data\0a.txt\0b.txt\0c.txt\0\0junk\0"s),
              (Paths{L"C:\\Data\\a.txt", L"C:\\Data\\b.txt", L"C:\\Data\\c.txt"}));
    // A drive root ends with its separator: no doubled one.
    EXPECT_EQ(ParseMultiSelection(L"D:\\\0a.txt\0b.txt\0\0"s), (Paths{L"D:\\a.txt", L"D:\\b.txt"}));
    // Only the exact default title of the open dialog becomes the save dialog's.
    EXPECT_EQ(SaveDialogTitle(L"\u00D6ffnen"), L"Speichern unter");
    EXPECT_EQ(SaveDialogTitle(L"\u00F6ffnen"), L"\u00F6ffnen");
}

TEST(FolderBrowserRules, DesktopAndEverythingInItIsRefused) {
    const struct {
        const wchar_t* path;
        bool refused;
    } cases[] = {{L"", true},
                 {L"C:\\users\\anna\\Desktop", true},
                 {L"C:\\users\\anna\\Desktop\\Projekte\\2024", true},
                 {L"C:\\users\\anna\\Desktop2", false},  // a sibling with a longer name
                 {L"c:\\users\\anna\\desktop\\x", false}};
    for (const auto& c : cases) EXPECT_EQ(IsRefusedFolder(c.path, L"C:\\users\\anna\\Desktop"), c.refused) << c.path;
    EXPECT_FALSE(IsRefusedFolder(L"\\\\server\\share", L""));
}

}  // namespace
}  // namespace zankit::dialogs
