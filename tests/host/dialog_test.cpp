// The file and folder dialogs on the virtual display, shown by FileSysInfo and by the folder
// browser object: a helper thread waits for each dialog, reads what it shows and answers like
// a user.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"
#include "test_dispatch.h"
#include "window_driver.h"

using namespace hosttest;

namespace {

const std::wstring kOpenTitle = L"\u00D6ffnen";
const std::wstring kFolderCaption = L"Ordner suchen";
const std::wstring kWindows = L"C:\\windows";
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Dialogs";
constexpr int kFolderPromptId = 0x3742;
constexpr int kFolderStatusId = 0x3743;
constexpr int kFilterId = 0x470;

std::wstring RememberedFolder() {
    wchar_t text[MAX_PATH * 4] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"LastDir", RRF_RT_REG_SZ, nullptr, text, &bytes);
    return text;
}

void SetRememberedFolder(const std::wstring& folder) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"LastDir", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

std::wstring CurrentFolder() { return std::filesystem::current_path().wstring(); }

std::wstring Desktop() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path);
    return path;
}

// The folders made below C:\, removed with their content when the test program ends.
struct MadeFolders {
    std::wstring list;  // NUL-separated, as the shell's delete takes them
    ~MadeFolders() {
        list += L'\0';
        SHFILEOPSTRUCTW remove{nullptr, FO_DELETE, list.c_str(), nullptr, FOF_NO_UI};
        if (list.size() > 1) SHFileOperationW(&remove);
    }
};

// A fresh folder right below C:\ (the folder dialog finds short paths quickest) holding these
// empty files. Named by the clock: process ids repeat between runs of a fresh Wine server.
std::wstring NewFolder(const std::vector<std::wstring>& files = {}) {
    static MadeFolders made;
    static int counter = 0;
    const std::wstring folder =
        L"C:\\zankit-dialog-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    made.list += folder + L'\0';
    for (const std::wstring& name : files) {
        CloseHandle(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return folder;
}

// FileSaveAs, strSelectedFolder, FileType, Titel, MultiSelect, hOwner[, PositionMode, sFilter, FilterIndex]
CallResult BrowseForFile(IDispatch* info, std::vector<Arg> args) {
    while (args.size() < 7) args.push_back(Arg::Missing());
    return Call(info, L"BrowseForFile", DISPATCH_METHOD, std::move(args));
}

// Types into the name box (the dialog's first edit field) and presses OK, as a user does.
void ChooseFiles(HWND dialog, const std::wstring& nameBoxText) {
    SetTextOf(FindDescendant(dialog, L"Edit"), nameBoxText);
    Press(dialog, IDOK);
}

std::wstring FolderStatus(HWND dialog) { return TextOf(GetDlgItem(dialog, kFolderStatusId)); }
bool IsOkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }

// The items of the folder tree below `parent` (expanded first), the top items for nullptr.
std::vector<HTREEITEM> ChildItems(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> items;
    if (parent) TreeView_Expand(tree, parent, TVE_EXPAND);
    for (HTREEITEM item = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item)) {
        items.push_back(item);
    }
    return items;
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW data{TVIF_TEXT, item, 0, 0, text, MAX_PATH};
    TreeView_GetItem(tree, &data);
    return text;
}

CallResult BrowseForFolder(IDispatch* info, std::vector<Arg> args) {
    while (args.size() < 6) args.push_back(Arg::Missing());
    return Call(info, L"BrowseForFolder", DISPATCH_METHOD, std::move(args));
}

// A cBrowseForFolder object straight from the DLL's class object (the class is not registered).
ComPtr<IDispatch> CreateFolderBrowserObject() {
    ComPtr<IDispatch> browser;
    wchar_t path[MAX_PATH] = {};
    LONG size = sizeof(path);
    RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID\\{CBDC7FB2-21FD-42CA-B3F7-50953ADCD9D6}\\InprocServer32", path, &size);
    HMODULE library = LoadLibraryW(path);
    using Entry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = library
                     ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")))
                     : nullptr;
    ComPtr<IClassFactory> factory;
    if (entry && SUCCEEDED(entry(CLSID_cBrowseForFolder, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_IDispatch, browser.PutVoid());
    }
    return browser;
}

}  // namespace

// ---- BrowseForFile ------------------------------------------------------------------------------

// An empty start folder is the remembered one, and written back.
TEST(FileDialog, OpenStartsInTheRememberedFolderAndCancelAnswersEmpty) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring folder = NewFolder({L"Liste.txt"});
    SetRememberedFolder(folder);
    DialogDriver driver(kOpenTitle, [&](HWND dialog) {
        wchar_t shown[MAX_PATH] = {};
        auto shows = [&] {
            return SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(shown)) > 0 &&
                   folder == shown;
        };
        EXPECT_TRUE(WaitFor(shows, 5000)) << shown;
        EXPECT_EQ(TextOf(FindDescendant(dialog, L"ComboBox", kFilterId)), L"Alle Dateien (*.*)");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the test thread has no active window";
        Press(dialog, IDCANCEL);
    });
    VARIANT start;
    V_VT(&start) = VT_BSTR;
    V_BSTR(&start) = SysAllocString(L"");
    CallResult answer = BrowseForFile(info.Get(), {Arg::Missing(), Arg::RefTo(&start)});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(V_VT(&answer.value), VT_EMPTY);
    EXPECT_EQ(FromBstr(V_BSTR(&start)), folder);
    VariantClear(&start);
    EXPECT_EQ(RememberedFolder(), folder) << "the start folder is kept after Cancel too";
}

// What the dialog offers and what it answers, a String also after Cancel: the save dialog of
// FileType 1 with its default title or the caller's, adding the preset's extension; the open
// dialog of a caller's filter with its pattern as the name and the index limited and written back.
TEST(FileDialog, NameTitleFilterAndAnswer) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = NewFolder({L"a.txt", L"b.log"});
    VARIANT index;
    V_VT(&index) = VT_I4;
    V_I4(&index) = 5;
    const Arg m = Arg::Missing(), folderArg = Arg::Text(folder);
    const std::vector<Arg> save{Arg::Text(L"Bericht.rtf"), folderArg, Arg::Long(1)};
    std::vector<Arg> saveAs = save;
    saveAs.push_back(Arg::Text(L"Export"));
    const Arg filter = Arg::Text(L"Text (*.txt)|*.txt|Alle|*.*");
    const std::vector<Arg> open{m, folderArg, m, Arg::Text(L"Laden"), m, Arg::Long(-1), m, filter, Arg::RefTo(&index)};
    const std::wstring rtf = L"RichText-Dokument (*.rtf)";
    const struct {
        std::wstring title, nameBox, filter, typed, answer;  // typed "" presses Cancel
        const std::vector<Arg>& args;
    } cases[] = {{L"Speichern unter", L"Bericht.rtf", rtf, L"Neu", folder + L"\\Neu.rtf", save},
                 {L"Export", L"Bericht.rtf", rtf, L"", L"", saveAs},
                 {L"Laden", L"*.*", L"Text (*.txt)", L"b.log", folder + L"\\b.log", open}};
    for (const auto& c : cases) {
        DialogDriver driver(c.title, [&](HWND dialog) {
            EXPECT_EQ(TextOf(FindDescendant(dialog, L"Edit")), c.nameBox);
            EXPECT_EQ(TextOf(FindDescendant(dialog, L"ComboBox", kFilterId)), c.filter);
            if (c.typed.empty()) return Press(dialog, IDCANCEL);
            ChooseFiles(dialog, c.typed);
        });
        CallResult answer = BrowseForFile(info.Get(), c.args);
        ASSERT_TRUE(driver.Finish()) << testing::PrintToString(c.title);
        EXPECT_EQ(V_VT(&answer.value), VT_BSTR);
        EXPECT_EQ(answer.Text(), c.answer);
    }
    EXPECT_EQ(V_I4(&index), 2);
}

// All files of a folder whose names fill far more than a path's length.
TEST(FileDialog, MultipleSelectionOfSixHundredFilesAnswersFullPathsFromOne) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring before = CurrentFolder();
    std::vector<std::wstring> names;
    for (int i = 1000; i < 1600; ++i) names.push_back(L"Quartalsbericht Vertrieb Nord " + std::to_wstring(i) + L".txt");
    const std::wstring folder = NewFolder(names);
    DialogDriver driver(kOpenTitle, [&](HWND dialog) {
        HWND list = FindDescendant(dialog, WC_LISTVIEWW);
        ASSERT_TRUE(list);
        WaitFor([&] { return ListView_GetItemCount(list) >= 600; }, 10000);
        SetFocus(list);
        ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        Press(dialog, IDOK);
    });
    CallResult answer = BrowseForFile(info.Get(), {Arg::Missing(), Arg::Text(folder), Arg::Missing(), Arg::Missing(),
                                                   Arg::Bool(true), Arg::Long(-1)});
    ASSERT_TRUE(driver.Finish());
    ASSERT_EQ(V_VT(&answer.value), VT_ARRAY | VT_VARIANT);
    SAFEARRAY* array = V_ARRAY(&answer.value);
    EXPECT_EQ(array->rgsabound[0].lLbound, 1);
    std::vector<std::wstring> paths;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        paths.push_back(FromBstr(V_BSTR(&static_cast<VARIANT*>(array->pvData)[i])));
    }
    std::sort(paths.begin(), paths.end());
    for (std::wstring& name : names) name = folder + L"\\" + name;
    EXPECT_EQ(paths, names);
    EXPECT_EQ(CurrentFolder(), before) << "the dialog changed it";
}

// ---- BrowseForFolder ----------------------------------------------------------------------------

// Both rows: an owner of 0 becomes the active window, written back, and the dialog is centred on
// it. An empty start is the remembered folder; OK remembers the answer, Cancel stores nothing.
TEST(FolderDialog, StartPromptOwnerAndRememberedFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring remembered = NewFolder();
    const std::wstring prompt = L"W\u00E4hlen Sie den Ordner f\u00FCr den Export:";
    const struct {
        Arg start, prompt, caption;
        std::wstring shownCaption, shownStart, shownPrompt;
        int button;
        std::wstring answer, rememberedAfter;
    } cases[] = {
        {Arg::Text(kWindows), Arg::Missing(), Arg::Missing(), kFolderCaption, kWindows, L"", IDOK, kWindows, kWindows},
        {Arg::Text(L""), Arg::Text(prompt), Arg::Text(L"Zielordner"), L"Zielordner", remembered, prompt, IDCANCEL, L"",
         remembered},
    };
    HWND owner = CreateWindowExW(0, L"STATIC", L"Gastgeber", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 500, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    for (const auto& c : cases) {
        SetRememberedFolder(remembered);
        SetForegroundWindow(owner);
        SetActiveWindow(owner);
        VARIANT ownerVariable;
        V_VT(&ownerVariable) = VT_I4;
        V_I4(&ownerVariable) = 0;
        DialogDriver driver(c.shownCaption, [&](HWND dialog) {
            EXPECT_TRUE(WaitFor([&] { return FolderStatus(dialog) == c.shownStart; }, 5000)) << FolderStatus(dialog);
            EXPECT_EQ(TextOf(GetDlgItem(dialog, kFolderPromptId)), c.shownPrompt);
            EXPECT_TRUE(IsOkEnabled(dialog));
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
            RECT ownerArea{}, dialogArea{};
            GetWindowRect(owner, &ownerArea);
            GetWindowRect(dialog, &dialogArea);
            EXPECT_NEAR(dialogArea.left + dialogArea.right, ownerArea.left + ownerArea.right, 2);
            EXPECT_NEAR(dialogArea.top + dialogArea.bottom, ownerArea.top + ownerArea.bottom, 2);
            Press(dialog, c.button);
        });
        CallResult answer = BrowseForFolder(info.Get(), {Arg(c.start), Arg::Missing(), Arg::Long(2), Arg::Missing(),
                                                         Arg(c.prompt), Arg(c.caption), Arg::RefTo(&ownerVariable)});
        ASSERT_TRUE(driver.Finish()) << testing::PrintToString(c.shownCaption);
        EXPECT_EQ(answer.hr, S_OK);
        EXPECT_EQ(answer.Text(), c.answer);
        EXPECT_EQ(V_I4(&ownerVariable), HandleToLong(owner));
        EXPECT_EQ(RememberedFolder(), c.rememberedAfter);
    }
    DestroyWindow(owner);
}

// The tree's top is the given root, or for "Desktop" (the default) the shell's desktop, never a
// folder named so in the current directory. The desktop folder and what is in it cannot be chosen.
TEST(FolderDialog, TheRootIsTheGivenFolderOrTheShellsDesktopWhoseFoldersAreRefused) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring before = CurrentFolder();
    const std::wstring work = NewFolder();
    CreateDirectoryW((work + L"\\Desktop").c_str(), nullptr);
    SetCurrentDirectoryW(work.c_str());
    const std::wstring own = NewFolder();
    CreateDirectoryW((own + L"\\Unter").c_str(), nullptr);
    const std::wstring onDesktop = Desktop() + L"\\Projekte";
    CreateDirectoryW(onDesktop.c_str(), nullptr);
    const struct {
        Arg root;
        std::wstring start, child, childPath;
        bool okEnabled;
    } cases[] = {{Arg::Text(L"Desktop"), kWindows, L"Projekte", onDesktop, false},
                 {Arg::Text(own), own, L"Unter", own + L"\\Unter", true}};
    for (const auto& c : cases) {
        DialogDriver driver(kFolderCaption, [&](HWND dialog) {
            WaitFor([&] { return FolderStatus(dialog) == c.start; }, 5000);
            // The user clicks the child below the tree's one top item.
            HWND tree = FindDescendant(dialog, WC_TREEVIEWW);
            std::vector<HTREEITEM> top = ChildItems(tree, nullptr);
            ASSERT_EQ(top.size(), 1u);
            for (HTREEITEM item : ChildItems(tree, top[0])) {
                if (ItemText(tree, item) == c.child) TreeView_SelectItem(tree, item);
            }
            EXPECT_TRUE(WaitFor(
                [&] { return FolderStatus(dialog) == c.childPath && IsOkEnabled(dialog) == c.okEnabled; }, 5000))
                << FolderStatus(dialog);
            Press(dialog, IDCANCEL);
        });
        BrowseForFolder(info.Get(), {Arg::Text(c.start), Arg(c.root)});
        EXPECT_TRUE(driver.Finish());
    }
    SetCurrentDirectoryW(before.c_str());
    RemoveDirectoryW(onDesktop.c_str());
}

TEST(FolderDialog, ARootThatCannotBeExpandedRaisesAndStoresNothing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    SetRememberedFolder(L"C:\\");
    DialogDriver guard(
        kFolderCaption, [](HWND dialog) { Press(dialog, IDCANCEL); }, 3000);
    // A root that is a lone NUL character: the system has no full path for an empty name.
    CallResult answer = BrowseForFolder(info.Get(), {Arg::Text(L"C:\\"), Arg::Text(std::wstring(1, L'\0'))});
    EXPECT_FALSE(guard.Finish()) << "a dialog was shown";
    EXPECT_EQ(answer.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<unsigned long>(answer.exception.scode) & 0xFFFF0000u, 0x80040000u);
    EXPECT_GE(static_cast<unsigned long>(answer.exception.scode), 0x80047148u);
    EXPECT_EQ(answer.Source(), L"ZanKit.cBrowseForFolder");
    EXPECT_EQ(RememberedFolder(), L"C:\\");
}

// ---- the folder browser object ------------------------------------------------------------------

// A host's handlers: Initialized moves the selection and writes a status of its own,
// SelectionChanged refuses OK for one folder. The user then picks a folder that has no path.
// Without an open dialog SetFolder and SetStatus are refused.
TEST(FolderBrowserObject, EventsSteerTheOpenDialog) {
    ComPtr<IDispatch> browser = CreateFolderBrowserObject();
    ASSERT_TRUE(browser);
    const std::wstring chosen = NewFolder();
    // Under Wine, SetFolder cannot find a second fresh folder below C:\ in the tree, so an old one.
    const std::wstring locked = kWindows;
    long initializedWindow = 0;
    std::vector<std::wstring> selections;
    ComPtr<IDispatch> sink = TestDispatch::Make(
        {L"", L"Initialized", L"SelectionChanged", L"ValidationFailed"},
        [&](const std::wstring& name, const Args& args, VARIANT*) {
            if (name == L"Initialized") {
                initializedWindow = LongOf(args.at(0));
                EXPECT_EQ(Call(browser.Get(), L"SetFolder", DISPATCH_METHOD, {Arg::Text(locked)}).hr, S_OK);
                Call(browser.Get(), L"SetStatus", DISPATCH_METHOD, {Arg::Text(L"Bitte w\u00E4hlen")});
            } else if (name == L"SelectionChanged") {
                selections.push_back(TextOf(args.at(0)));
                if (selections.back() == locked) *V_BOOLREF(args.at(1)) = VARIANT_FALSE;
            }
        });
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ASSERT_EQ(browser->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID___cBrowseForFolder, point.Put()), S_OK);
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    Put(browser.Get(), L"Caption", Arg::Text(L"Auswahl"));
    Put(browser.Get(), L"StatusText", Arg::Bool(true));
    Put(browser.Get(), L"UseNewUI", Arg::Bool(true));
    Put(browser.Get(), L"InitialDir", Arg::Text(chosen));

    std::wstring pickedName;
    DialogDriver driver(L"Auswahl", [&](HWND dialog) {
        EXPECT_TRUE(WaitFor([&] { return FolderStatus(dialog) == L"Bitte w\u00E4hlen"; }, 5000));
        EXPECT_EQ(initializedWindow, HandleToLong(dialog));
        EXPECT_FALSE(IsOkEnabled(dialog)) << "the handler refused the folder";
        EXPECT_EQ(TextOf(GetDlgItem(dialog, kFolderPromptId)), L"W\u00E4hle einen Ordner");
        // Below the desktop sits at least one folder without a path (the computer, the network).
        HWND tree = FindDescendant(dialog, WC_TREEVIEWW);
        for (HTREEITEM item : ChildItems(tree, ChildItems(tree, nullptr).at(0))) {
            TreeView_SelectItem(tree, item);
            if (WaitFor([&] { return FolderStatus(dialog).empty(); }, 100)) {
                pickedName = ItemText(tree, item);
                return Press(dialog, IDOK);
            }
        }
        ADD_FAILURE() << "no virtual folder below the desktop";
    });
    CallResult answer = Call(browser.Get(), L"BrowseForFolder", DISPATCH_METHOD, {});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(answer.Text(), L"") << "a folder without a path";
    EXPECT_EQ(Get(browser.Get(), L"DisplayName").Text(), pickedName);
    EXPECT_NE(std::find(selections.begin(), selections.end(), locked), selections.end());
    point->Unadvise(cookie);
    for (const wchar_t* member : {L"SetFolder", L"SetStatus"}) {
        CallResult refused = Call(browser.Get(), member, DISPATCH_METHOD, {Arg::Text(L"C:\\")});
        EXPECT_EQ(static_cast<unsigned long>(refused.exception.scode), 0x800A6592ul) << member;  // 26002
        EXPECT_EQ(refused.Source(), L"ZanKit.cBrowseForFolder");
        EXPECT_EQ(refused.Description(), L"Operation invalid unless dialog is displayed.");
    }
}
