// The dialog rules that need no window: filters, flags, multiple selections, refused folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/file_dialog_rules.h"
#include "dialogs/folder_browser_rules.h"

namespace zankit::dialogs {
namespace {

using namespace std::string_literals;

TEST(FileDialogRules, FilterNotationBecomesNulSeparatedWithClosingPair) {
    EXPECT_EQ(DialogFilter(L"Text (*.txt)|*.txt"), L"Text (*.txt)\0*.txt\0\0"s);
    // ":" separates too, also inside a description.
    EXPECT_EQ(DialogFilter(L"Bilder: alle|*.*"), L"Bilder\0 alle\0*.*\0\0"s);
    EXPECT_EQ(DialogFilter(L""), L"\0\0"s);
}

TEST(FileDialogRules, CallerFilterIndexIsLimitedAndPicksThePattern) {
    struct Case {
        long index;
        long limited;
        const wchar_t* pattern;  // nullptr: no pattern (a failure for the member)
    };
    const std::wstring filter = L"Text (*.txt)|*.txt|Alle (*.*)|*.*";
    for (const Case& c :
         {Case{1, 1, L"*.txt"}, Case{2, 2, L"*.*"}, Case{5, 2, L"*.*"}, Case{0, 0, nullptr}, Case{-3, -3, nullptr}}) {
        const CallerFilter chosen = ChooseCallerFilter(filter, c.index);
        EXPECT_EQ(chosen.filterCount, 2);
        EXPECT_EQ(chosen.limitedIndex, c.limited) << c.index;
        if (c.pattern) {
            ASSERT_TRUE(chosen.pattern) << c.index;
            EXPECT_EQ(*chosen.pattern, c.pattern);
        } else {
            EXPECT_FALSE(chosen.pattern) << c.index;
        }
    }
    // A filter without a pattern holds no whole pair: any index is limited to 0.
    EXPECT_FALSE(ChooseCallerFilter(L"Nur Text", 1).pattern);
}

TEST(FileDialogRules, PresetsAndTheirExtensions) {
    EXPECT_EQ(PresetForFileType(0).filter, L"Alle Dateien (*.*)|*.*");
    EXPECT_EQ(PresetForFileType(0).defaultExtension, L"");
    EXPECT_EQ(PresetForFileType(1).defaultExtension, L"rtf");
    EXPECT_EQ(PresetForFileType(4).defaultExtension, L"xls");
    // The export list is one list of ten pairs: the joined parts keep their separators.
    const std::wstring exportList = DialogFilter(PresetForFileType(4).filter);
    EXPECT_NE(exportList.find(L"*.txt\0Internet-Dokumente (*.htm; *.xml)"s), std::wstring::npos);
    EXPECT_NE(exportList.find(L"*.dbf\0Paradox 4.x (*.db)\0*.db\0\0"s), std::wstring::npos);
    EXPECT_TRUE(PresetForFileType(5).filter.empty());
    EXPECT_TRUE(PresetForFileType(-1).defaultExtension.empty());
}

TEST(FileDialogRules, Flags) {
    EXPECT_EQ(OpenDialogFlags(true, false, false, true, 0), 0x1004u);
    EXPECT_EQ(OpenDialogFlags(true, true, false, true, 0), 0x81204u);
    EXPECT_EQ(OpenDialogFlags(false, false, true, false, 0x0020 | 0x0040 | 0x0008), 0x0009u);
    // A caller's multiple-selection flag gets the explorer style too.
    EXPECT_EQ(OpenDialogFlags(false, false, false, false, 0x0200), 0x80200u);
    EXPECT_EQ(SaveDialogFlags(false, 0), 0x0004u);
    EXPECT_EQ(SaveDialogFlags(true, 0x0060), 0x0006u);
}

TEST(FileDialogRules, MultipleSelections) {
    using Paths = std::vector<std::wstring>;
    EXPECT_EQ(ParseMultiSelection(L"C:\\Data\\one.txt\0\0\0"s), Paths{L"C:\\Data\\one.txt"});
    EXPECT_EQ(ParseMultiSelection(L"C:\\Data\0a.txt\0b.txt\0c.txt\0\0junk\0"s),
              (Paths{L"C:\\Data\\a.txt", L"C:\\Data\\b.txt", L"C:\\Data\\c.txt"}));
    // A drive root ends with its separator: no doubled one.
    EXPECT_EQ(ParseMultiSelection(L"D:\\\0a.txt\0b.txt\0\0"s), (Paths{L"D:\\a.txt", L"D:\\b.txt"}));
}

TEST(FileDialogRules, SaveTitle) {
    EXPECT_EQ(SaveDialogTitle(L"\u00D6ffnen"), L"Speichern unter");
    EXPECT_EQ(SaveDialogTitle(L"\u00F6ffnen"), L"\u00F6ffnen");  // only the exact default
    EXPECT_EQ(SaveDialogTitle(L"Export"), L"Export");
}

TEST(FolderBrowserRules, FlagsFromSettings) {
    FolderBrowserSettings settings;
    settings.useNewUI = true;
    settings.statusText = true;
    EXPECT_EQ(FolderRequestFlags(settings), 0x44u);
    settings.fileSystemOnly = true;
    EXPECT_EQ(FolderRequestFlags(settings), 0x4Du);
    EXPECT_EQ(FolderRequestFlags({true, false, false, true, false}), 0x30u);
}

TEST(FolderBrowserRules, DesktopAndEverythingInItIsRefused) {
    const std::wstring desktop = L"C:\\users\\anna\\Desktop";
    struct Case {
        const wchar_t* path;
        bool refused;
    };
    for (const Case& c : {Case{L"", true}, Case{L"C:\\users\\anna\\Desktop", true},
                          Case{L"C:\\users\\anna\\Desktop\\Projekte\\2024", true}, Case{L"C:\\users\\anna", false},
                          Case{L"C:\\users\\anna\\Desktop2", false},  // a sibling with a longer name
                          Case{L"c:\\users\\anna\\desktop\\x", false}, Case{L"D:\\", false}}) {
        EXPECT_EQ(IsRefusedFolder(c.path, desktop), c.refused) << c.path;
    }
    EXPECT_FALSE(IsRefusedFolder(L"\\\\server\\share", L""));
    EXPECT_EQ(InvalidPathText(L"X:\\nix"), L"Ung\u00FCltiger Pfad: X:\\nix");
}

}  // namespace
}  // namespace zankit::dialogs
