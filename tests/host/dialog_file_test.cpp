// FileSysInfo.BrowseForFile on the virtual display: the open and save dialogs as a user
// sees and answers them, the answers, the write-backs and the remembered folder.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialog_support.h"
#include "host_support.h"

using namespace hosttest;

namespace {

const std::wstring kOpenTitle = L"\u00D6ffnen";

// A VBScript-like variable that a by-reference argument writes back into.
struct Variable {
    VARIANT value;
    explicit Variable(const std::wstring& text) {
        VariantInit(&value);
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = SysAllocString(text.c_str());
    }
    explicit Variable(long number) {
        VariantInit(&value);
        V_VT(&value) = VT_I4;
        V_I4(&value) = number;
    }
    ~Variable() { VariantClear(&value); }
    Arg Ref() { return Arg::RefTo(&value); }
    std::wstring Text() const { return V_VT(&value) == VT_BSTR ? FromBstr(V_BSTR(&value)) : L"?"; }
    long Number() const { return V_VT(&value) == VT_I4 ? V_I4(&value) : -999; }
};

// FileSaveAs, strSelectedFolder, FileType, Titel, MultiSelect, hOwner, PositionMode, sFilter, FilterIndex
CallResult BrowseForFile(IDispatch* info, std::vector<Arg> args) {
    while (args.size() < 6) args.push_back(Arg::Missing());
    if (args.size() == 6) args.push_back(Arg::Missing());
    return Call(info, L"BrowseForFile", DISPATCH_METHOD, std::move(args));
}

std::vector<std::wstring> ArrayElements(const VARIANT& value, LONG* lowerBound) {
    std::vector<std::wstring> elements;
    if (!(V_VT(&value) & VT_ARRAY)) return elements;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG upper = 0;
    SafeArrayGetLBound(array, 1, lowerBound);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = *lowerBound; i <= upper; ++i) {
        VARIANT element;
        VariantInit(&element);
        SafeArrayGetElement(array, &i, &element);
        elements.push_back(V_VT(&element) == VT_BSTR ? FromBstr(V_BSTR(&element)) : L"?");
        VariantClear(&element);
    }
    return elements;
}

std::wstring NumberedName(int i) {
    wchar_t name[80];
    swprintf(name, 80, L"Quartalsbericht Vertrieb Nord %04d.txt", i);
    return name;
}

}  // namespace

TEST(FileDialog, OpenWithNoArgumentsStartsInTheRememberedFolderAndCancelAnswersEmpty) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring folder = FolderWithFiles({L"Liste.txt"});
    SetRememberedFolder(folder);
    const std::wstring before = CurrentFolder();
    std::wstring shownFolder, filter;
    HWND owner = reinterpret_cast<HWND>(1);
    DialogDriver driver(kOpenTitle, [&](HWND dialog) {
        WaitFor([&] { return !DialogFolder(dialog).empty(); }, 5000);
        shownFolder = DialogFolder(dialog);
        filter = SelectedFilter(dialog);
        owner = GetWindow(dialog, GW_OWNER);
        EXPECT_TRUE(SaveScreenshot(dialog, L"browse-for-file-open"));
        Press(dialog, IDCANCEL);
    });
    CallResult answer = BrowseForFile(info.Get(), {});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(V_VT(&answer.value), VT_EMPTY);
    EXPECT_EQ(shownFolder, folder);
    EXPECT_EQ(filter, L"Alle Dateien (*.*)");
    EXPECT_EQ(owner, nullptr) << "the test thread has no active window";
    EXPECT_EQ(RememberedFolder(), folder) << "the start folder is kept after Cancel too";
    EXPECT_EQ(CurrentFolder(), before);
}

TEST(FileDialog, SaveWithPresetTitleAndDefaultExtension) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = TempFolder();
    const std::wstring before = CurrentFolder();
    struct Case {
        Arg title;
        std::wstring shownTitle;
        std::wstring typed;     // "" presses Cancel
        std::wstring expected;  // the answer
    };
    std::vector<Case> cases;
    cases.push_back({Arg::Missing(), L"Speichern unter", L"Neu", folder + L"\\Neu.rtf"});
    cases.push_back({Arg::Text(L"Export"), L"Export", L"", L""});
    for (Case& c : cases) {
        Variable start(folder);
        std::wstring nameBox;
        std::vector<std::wstring> filters;
        DialogDriver driver(c.shownTitle, [&](HWND dialog) {
            nameBox = TextOf(FileNameBox(dialog));
            filters = FilterChoices(dialog);
            if (c.typed.empty()) {
                Press(dialog, IDCANCEL);
            } else {
                EXPECT_TRUE(SaveScreenshot(dialog, L"browse-for-file-save"));
                ChooseFiles(dialog, c.typed);
            }
        });
        CallResult answer = BrowseForFile(info.Get(), {Arg::Text(L"Bericht.rtf"), start.Ref(), Arg::Long(1), c.title});
        ASSERT_TRUE(driver.Finish()) << testing::PrintToString(c.shownTitle);
        EXPECT_EQ(V_VT(&answer.value), VT_BSTR) << "the save dialog answers a String, also after Cancel";
        EXPECT_EQ(answer.Text(), c.expected);
        EXPECT_EQ(nameBox, L"Bericht.rtf");
        EXPECT_EQ(filters, (std::vector<std::wstring>{L"RichText-Dokument (*.rtf)", L"Textdatei (*.txt)"}));
        EXPECT_EQ(start.Text(), folder);
        EXPECT_EQ(CurrentFolder(), before);
    }
}

TEST(FileDialog, CallerFilterIndexIsLimitedAndWrittenBack) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = FolderWithFiles({L"a.txt", L"b.log"});
    Variable index(5);
    std::wstring nameBox, filter;
    std::vector<std::wstring> filters;
    DialogDriver driver(L"Protokoll laden", [&](HWND dialog) {
        nameBox = TextOf(FileNameBox(dialog));
        filter = SelectedFilter(dialog);
        filters = FilterChoices(dialog);
        ChooseFiles(dialog, L"b.log");
    });
    CallResult answer = BrowseForFile(
        info.Get(), {Arg::Missing(), Arg::Text(folder), Arg::Missing(), Arg::Text(L"Protokoll laden"), Arg::Missing(),
                     Arg::Long(-1), Arg::Missing(), Arg::Text(L"Text (*.txt)|*.txt|Alle: Dateien|*.*"), index.Ref()});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(index.Number(), 2);
    EXPECT_EQ(nameBox, L"*.*");
    EXPECT_EQ(filter, L"Text (*.txt)") << "the dialog opens with the first filter";
    // ":" separates as "|" does, so the second description is split there.
    ASSERT_GE(filters.size(), 2u);
    EXPECT_EQ(filters[1], L"Alle");
    EXPECT_EQ(answer.Text(), folder + L"\\b.log");
}

TEST(FileDialog, AFilterIndexBelowOneIsReportedAndShowsNoDialog) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    RegisterTestLogger(true);
    TakeLoggerRecords();
    const std::wstring folder = TempFolder();
    Variable start(folder);
    CallResult answer =
        BrowseForFile(info.Get(), {Arg::Missing(), start.Ref(), Arg::Missing(), Arg::Missing(), Arg::Missing(),
                                   Arg::Long(-1), Arg::Missing(), Arg::Text(L"Text|*.txt"), Arg::Long(0)});
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(V_VT(&answer.value), VT_EMPTY);
    std::vector<std::wstring> records = TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find(L"\tZanKit|FileSysInfo:BrowseForFile#0\t9:(Subscript out of range)\t0\t-1"),
              std::wstring::npos)
        << records[0];
    EXPECT_EQ(RememberedFolder(), folder);
}

TEST(FileDialog, MultipleSelectionAnswersFullPathsFromOne) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring before = CurrentFolder();
    // Three typed names; all 600 files of a large folder; two files in a drive root.
    struct Case {
        std::wstring folder;
        std::vector<std::wstring> names;
        bool selectAll;
    };
    std::vector<std::wstring> many;
    for (int i = 1; i <= 600; ++i) many.push_back(NumberedName(i));
    std::vector<Case> cases{{FolderWithFiles({L"a.txt", L"b.txt", L"c.txt"}), {L"a.txt", L"b.txt", L"c.txt"}, false},
                            {FolderWithFiles(many), many, true}};
    const wchar_t* drive = _wgetenv(L"ZANKIT_TEST_CDROM_DRIVE");
    if (drive) {
        const std::wstring root = std::wstring(drive) + L"\\";
        HANDLE file = CreateFileW((root + L"zweite.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        cases.push_back({root, {L"readme.txt", L"zweite.txt"}, false});
    } else {
        ADD_FAILURE() << "run by the test script, which maps a drive for the root case";
    }
    for (const Case& c : cases) {
        DialogDriver driver(kOpenTitle, [&](HWND dialog) {
            if (c.selectAll) {
                HWND list = FindDescendant(dialog, WC_LISTVIEWW);
                ASSERT_TRUE(list) << DescribeControls(dialog);
                WaitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) >= 600; }, 10000);
                SetFocus(list);
                LVITEMW all{};
                all.stateMask = LVIS_SELECTED;
                all.state = LVIS_SELECTED;
                SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
                Press(dialog, IDOK);
                return;
            }
            std::wstring typed;
            for (const std::wstring& name : c.names) typed += L"\"" + name + L"\" ";
            ChooseFiles(dialog, typed);
        });
        Variable start(c.folder);
        CallResult answer = BrowseForFile(
            info.Get(), {Arg::Missing(), start.Ref(), Arg::Missing(), Arg::Missing(), Arg::Bool(true), Arg::Long(-1)});
        ASSERT_TRUE(driver.Finish());
        LONG lower = 0;
        std::vector<std::wstring> paths = ArrayElements(answer.value, &lower);
        EXPECT_EQ(lower, 1);
        std::vector<std::wstring> expected;
        const std::wstring prefix = c.folder.back() == L'\\' ? c.folder : c.folder + L"\\";
        for (const std::wstring& name : c.names) expected.push_back(prefix + name);
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(paths, expected) << "answer type " << V_VT(&answer.value);
        // The folder of the first chosen file, without a final separator.
        EXPECT_EQ(start.Text(), prefix.substr(0, prefix.size() - 1));
        EXPECT_EQ(RememberedFolder(), start.Text());
        EXPECT_EQ(CurrentFolder(), before);
    }
}
