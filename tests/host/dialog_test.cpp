// The file and folder dialogs of FileSysInfo and of the folder browser object, answered on the
// virtual display by a helper thread as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"
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

// The folders made below C:\, removed with their content when the test program ends.
struct MadeFolders {
    std::vector<std::wstring> list;
    ~MadeFolders() {
        std::error_code ignored;
        for (const std::wstring& folder : list) std::filesystem::remove_all(folder, ignored);
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
    made.list.push_back(folder);
    for (const std::wstring& name : files) {
        CloseHandle(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return folder;
}

// Calls BrowseForFile or BrowseForFolder with the arguments after `args` up to `count` missing.
CallResult Browse(IDispatch* info, const wchar_t* member, size_t count, std::vector<Arg> args) {
    while (args.size() < count) args.push_back(Arg::Missing());
    return Call(info, member, DISPATCH_METHOD, std::move(args));
}

std::wstring FolderStatus(HWND dialog) { return TextOf(GetDlgItem(dialog, kFolderStatusId)); }
bool IsOkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }

// A cBrowseForFolder object from the loaded library's class object (the class is not registered).
ComPtr<IDispatch> CreateFolderBrowserObject() {
    using Entry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    FARPROC entry = GetProcAddress(GetModuleHandleW(L"zankit.dll"), "DllGetClassObject");
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> browser;
    if (entry && SUCCEEDED(reinterpret_cast<Entry>(reinterpret_cast<void*>(entry))(
                     CLSID_cBrowseForFolder, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_IDispatch, browser.PutVoid());
    }
    return browser;
}

}  // namespace

// What the dialog shows and answers: an empty start is the remembered folder, written back; the
// save dialog of FileType 1 with its default title or the caller's adds the preset's extension;
// a caller's filter gives its pattern as the name and the index is limited and written back.
// Cancel answers Empty from the open dialog and "" from the save dialog. An index below 1 fails
// before any dialog: nothing raised, Empty, the start folder remembered all the same.
TEST(FileDialog, StartNameTitleFilterAnswerAndSixHundredSelectedFiles) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring folder = NewFolder({L"a.txt", L"b.log"}), other = NewFolder({L"c.txt"});
    wchar_t documents[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
    Arg start = Arg::Text(L""), index = Arg::Long(5);  // script variables
    const Arg m = Arg::Missing(), at = Arg::Text(folder), report = Arg::Text(L"Bericht.rtf"),
              text = Arg::Long(zanFileText);
    const Arg filter = Arg::Text(L"Text (*.txt)|*.txt|Alle|*.*");
    const std::vector<Arg> load{m, at, m, Arg::Text(L"Laden"), m, Arg::Long(-1), m, filter, Arg::RefTo(&index.value)};
    const std::wstring rtf = L"RichText-Dokument (*.rtf)";
    // Each row starts with `remembered` stored, the dialog shows `shown`; afterwards the folder of
    // the answer (or, after Cancel, the start folder) is remembered.
    const struct {
        std::wstring remembered;
        std::vector<Arg> args;
        std::wstring shown, title, nameBox, filter, typed, answer;  // typed "" presses Cancel
        VARTYPE answerType;
        std::wstring rememberedAfter;
    } cases[] = {
        {folder, {m, Arg::RefTo(&start.value)}, folder, kOpenTitle, L"", L"Alle Dateien (*.*)", L"", L"", VT_EMPTY, folder},
        {L"", {}, documents, kOpenTitle, L"", L"Alle Dateien (*.*)", L"", L"", VT_EMPTY, std::wstring(documents) + L"\\"},
        {folder, {report, at, text}, folder, L"Speichern unter", L"Bericht.rtf", rtf, L"Neu", folder + L"\\Neu.rtf",
         VT_BSTR, folder},
        {folder, {report, at, text, Arg::Text(L"Export")}, folder, L"Export", L"Bericht.rtf", rtf, L"", L"", VT_BSTR,
         folder},
        {folder, load, folder, L"Laden", L"*.*", L"Text (*.txt)", L"b.log", folder + L"\\b.log", VT_BSTR, folder},
        {folder, load, folder, L"Laden", L"*.*", L"Text (*.txt)", other + L"\\c.txt", other + L"\\c.txt", VT_BSTR, other},
    };
    for (const auto& c : cases) {
        SetRememberedFolder(c.remembered);
        DialogDriver driver(c.title, [&](HWND dialog) {
            wchar_t shown[MAX_PATH] = {};
            auto showsFolder = [&] {
                return SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(shown)) > 0 &&
                       c.shown == shown;
            };
            EXPECT_TRUE(WaitFor(showsFolder, 5000)) << shown;
            EXPECT_EQ(TextOf(FindDescendant(dialog, L"Edit")), c.nameBox);
            EXPECT_EQ(TextOf(FindDescendant(dialog, L"ComboBox", kFilterId)), c.filter);
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the test thread has no active window";
            if (!c.typed.empty()) SetWindowTextW(FindDescendant(dialog, L"Edit"), c.typed.c_str());
            Press(dialog, c.typed.empty() ? IDCANCEL : IDOK);
        });
        CallResult answer = Browse(info.Get(), L"BrowseForFile", 7, c.args);
        ASSERT_TRUE(driver.Finish()) << testing::PrintToString(c.title);
        EXPECT_EQ(answer.hr, S_OK);
        EXPECT_EQ(V_VT(&answer.value), c.answerType);
        EXPECT_EQ(answer.Text(), c.answer);
        EXPECT_EQ(RememberedFolder(), c.rememberedAfter);
    }
    EXPECT_EQ(TextOf(&start.value), folder);
    EXPECT_EQ(LongOf(&index.value), 2);
    V_I4(&index.value) = 0;
    SetRememberedFolder(L"C:\\");
    DialogAnswerer guard(IDCANCEL);
    CallResult failed = Browse(info.Get(), L"BrowseForFile", 7, load);
    EXPECT_FALSE(guard.Stop()) << "a dialog was shown";
    EXPECT_TRUE(failed.hr == S_OK && V_VT(&failed.value) == VT_EMPTY) << failed.Description();
    EXPECT_EQ(RememberedFolder(), folder);

    // All files of a folder whose names fill far more than a path's length, as paths from 1.
    const std::wstring before = CurrentFolder();
    std::vector<std::wstring> names;
    for (int i = 1000; i < 1600; ++i) names.push_back(L"Quartalsbericht Vertrieb Nord " + std::to_wstring(i) + L".txt");
    const std::wstring many = NewFolder(names);
    DialogDriver driver(kOpenTitle, [&](HWND dialog) {
        HWND list = FindDescendant(dialog, WC_LISTVIEWW);
        ASSERT_TRUE(list);
        WaitFor([&] { return ListView_GetItemCount(list) >= 600; }, 10000);
        SetFocus(list);
        ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        Press(dialog, IDOK);
    });
    CallResult answer =
        Browse(info.Get(), L"BrowseForFile", 7, {m, Arg::Text(many), m, m, Arg::Bool(true), Arg::Long(-1)});
    ASSERT_TRUE(driver.Finish());
    ASSERT_EQ(V_VT(&answer.value), VT_ARRAY | VT_VARIANT);
    SAFEARRAY* array = V_ARRAY(&answer.value);
    EXPECT_EQ(array->rgsabound[0].lLbound, 1);
    std::vector<std::wstring> paths;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
        paths.push_back(FromBstr(V_BSTR(&static_cast<VARIANT*>(array->pvData)[i])));
    std::sort(paths.begin(), paths.end());
    for (std::wstring& name : names) name = many + L"\\" + name;
    EXPECT_EQ(paths, names);
    EXPECT_EQ(CurrentFolder(), before) << "the dialog changed it";
}

// Every row: an owner of 0 becomes the active window, written back, and the dialog is centred on
// it. An empty start is the remembered folder; OK remembers the answer, Cancel stores nothing. The
// default root is the shell's desktop, never a folder named so in the current directory, and the
// desktop's folders cannot be chosen. A root without a full path raises and stores nothing.
TEST(FolderDialog, StartPromptOwnerRootAndRememberedFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring remembered = NewFolder(), before = CurrentFolder();
    CreateDirectoryW((remembered + L"\\Desktop").c_str(), nullptr);
    SetCurrentDirectoryW(remembered.c_str());
    wchar_t desktop[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    const std::wstring onDesktop = desktop + std::wstring(L"\\Projekte");
    CreateDirectoryW(onDesktop.c_str(), nullptr);
    const std::wstring prompt = L"W\u00E4hlen Sie den Ordner f\u00FCr den Export:";
    const Arg m = Arg::Missing();
    const struct {
        Arg start, prompt, caption;
        std::wstring shownCaption, shownStart, shownPrompt;
        bool okEnabled;
        int button;
        std::wstring answer, rememberedAfter;
    } cases[] = {
        {Arg::Text(kWindows), m, m, kFolderCaption, kWindows, L"", true, IDOK, kWindows, kWindows},
        {Arg::Text(L""), Arg::Text(prompt), Arg::Text(L"Zielordner"), L"Zielordner", remembered, prompt, true, IDCANCEL,
         L"", remembered},
        {Arg::Text(onDesktop), m, m, kFolderCaption, onDesktop, L"", false, IDCANCEL, L"", remembered},
    };
    HWND owner = CreateWindowExW(0, L"STATIC", L"Gastgeber", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 500, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    for (const auto& c : cases) {
        SetRememberedFolder(remembered);
        SetForegroundWindow(owner);
        SetActiveWindow(owner);
        Arg ownerVariable = Arg::Long(0);
        DialogDriver driver(c.shownCaption, [&](HWND dialog) {
            EXPECT_TRUE(WaitFor([&] { return FolderStatus(dialog) == c.shownStart; }, 5000)) << FolderStatus(dialog);
            EXPECT_EQ(TextOf(GetDlgItem(dialog, kFolderPromptId)), c.shownPrompt);
            EXPECT_EQ(IsOkEnabled(dialog), c.okEnabled);
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
            RECT ownerArea{}, dialogArea{};
            GetWindowRect(owner, &ownerArea);
            GetWindowRect(dialog, &dialogArea);
            EXPECT_NEAR(dialogArea.left + dialogArea.right, ownerArea.left + ownerArea.right, 2);
            EXPECT_NEAR(dialogArea.top + dialogArea.bottom, ownerArea.top + ownerArea.bottom, 2);
            Press(dialog, c.button);
        });
        CallResult answer = Browse(
            info.Get(), L"BrowseForFolder", 6,
            {c.start, m, Arg::Long(zanBrowseComputersOnly), m, c.prompt, c.caption, Arg::RefTo(&ownerVariable.value)});
        ASSERT_TRUE(driver.Finish()) << testing::PrintToString(c.shownCaption);
        EXPECT_EQ(answer.hr, S_OK);
        EXPECT_EQ(answer.Text(), c.answer);
        EXPECT_EQ(LongOf(&ownerVariable.value), HandleToLong(owner));
        EXPECT_EQ(RememberedFolder(), c.rememberedAfter);
    }
    // A root that is a lone NUL character has no full path: raised before any dialog.
    DialogAnswerer guard(IDCANCEL);
    CallResult refused =
        Browse(info.Get(), L"BrowseForFolder", 6, {Arg::Text(L"C:\\"), Arg::Text(std::wstring(1, L'\0'))});
    EXPECT_FALSE(guard.Stop()) << "a dialog was shown";
    const auto number = static_cast<unsigned long>(refused.exception.scode);  // an error of vbObjectError's range
    EXPECT_TRUE(refused.hr == DISP_E_EXCEPTION && number >= 0x80047148u && number <= 0x8004FFFFu) << std::hex << number;
    EXPECT_EQ(refused.Source(), L"ZanKit.cBrowseForFolder");
    EXPECT_EQ(RememberedFolder(), remembered);
    DestroyWindow(owner);
    SetCurrentDirectoryW(before.c_str());
    RemoveDirectoryW(onDesktop.c_str());
}

// A host's handlers: Initialized moves the selection and writes a status of its own,
// SelectionChanged refuses OK for one folder. The user then picks a folder that has no path.
// Without an open dialog SetFolder and SetStatus are refused.
TEST(FolderBrowserObject, EventsSteerTheOpenDialog) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");  // loads the library
    ComPtr<IDispatch> browser = CreateFolderBrowserObject();
    ASSERT_TRUE(browser);
    // Under Wine, SetFolder cannot find a fresh folder below C:\ in the tree, so an old one.
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
    std::wstring pickedName;
    DialogDriver driver(L"Auswahl", [&](HWND dialog) {
        EXPECT_TRUE(WaitFor([&] { return FolderStatus(dialog) == L"Bitte w\u00E4hlen"; }, 5000));
        EXPECT_EQ(initializedWindow, HandleToLong(dialog));
        EXPECT_FALSE(IsOkEnabled(dialog)) << "the handler refused the folder";
        // Below the desktop sits at least one folder without a path (the computer, the network).
        HWND tree = FindDescendant(dialog, WC_TREEVIEWW);
        HTREEITEM desktop = TreeView_GetRoot(tree);
        TreeView_Expand(tree, desktop, TVE_EXPAND);
        for (HTREEITEM item = TreeView_GetChild(tree, desktop); item; item = TreeView_GetNextSibling(tree, item)) {
            TreeView_SelectItem(tree, item);
            if (WaitFor([&] { return FolderStatus(dialog).empty(); }, 100)) {
                wchar_t name[MAX_PATH] = {};
                TVITEMW data{TVIF_TEXT, item, 0, 0, name, MAX_PATH};
                TreeView_GetItem(tree, &data);
                pickedName = name;
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
        EXPECT_EQ(refused.Source() + L": " + refused.Description(),
                  L"ZanKit.cBrowseForFolder: Operation invalid unless dialog is displayed.");
    }
}
