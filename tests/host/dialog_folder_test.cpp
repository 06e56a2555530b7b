// FileSysInfo.BrowseForFolder and the folder browser object, on the virtual display: a
// helper thread waits for the dialog, reads what it shows and answers like a user.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "dialog_support.h"
#include "host_support.h"

using namespace hosttest;

namespace {

const std::wstring kDefaultCaption = L"Ordner suchen";

std::wstring Desktop() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path);
    return path;
}

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

// A visible top-level window of the test thread, as a host's main form.
class OwnerWindow {
public:
    OwnerWindow() {
        window_ = CreateWindowExW(0, L"STATIC", L"Gastgeber", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 500, 400,
                                  nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
    }
    ~OwnerWindow() { DestroyWindow(window_); }
    HWND Get() const { return window_; }

private:
    HWND window_;
};

CallResult BrowseForFolder(IDispatch* info, std::vector<Arg> args) {
    return Call(info, L"BrowseForFolder", DISPATCH_METHOD, std::move(args));
}

}  // namespace

TEST(FolderDialog, DefaultsOwnerAndRememberedFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    const std::wstring start = WindowsFolder();
    OwnerWindow owner;
    ASSERT_EQ(GetActiveWindow(), owner.Get());
    VARIANT ownerVariable;
    VariantInit(&ownerVariable);
    V_VT(&ownerVariable) = VT_I4;
    V_I4(&ownerVariable) = 0;

    HWND seenOwner = nullptr;
    RECT ownerArea{}, dialogArea{};
    DialogDriver driver(kDefaultCaption, [&](HWND dialog) {
        WaitFor([&] { return FolderStatus(dialog) == start; }, 5000);
        EXPECT_EQ(FolderStatus(dialog), start) << DescribeControls(dialog);
        EXPECT_EQ(FolderPrompt(dialog), L"");
        EXPECT_TRUE(IsEnabledControl(dialog, IDOK));
        seenOwner = GetWindow(dialog, GW_OWNER);
        GetWindowRect(owner.Get(), &ownerArea);
        GetWindowRect(dialog, &dialogArea);
        Press(dialog, IDOK);
    });
    CallResult answer = BrowseForFolder(info.Get(), {Arg::Text(start), Arg::Missing(), Arg::Missing(), Arg::Missing(),
                                                     Arg::Missing(), Arg::Missing(), Arg::RefTo(&ownerVariable)});
    ASSERT_TRUE(driver.Finish()) << "no dialog titled " << testing::PrintToString(kDefaultCaption);
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(answer.Text(), start);
    EXPECT_EQ(V_I4(&ownerVariable), HandleToLong(owner.Get())) << "an owner of 0 becomes the active window";
    EXPECT_EQ(seenOwner, owner.Get());
    // Centred on the owner (to a pixel of rounding).
    EXPECT_NEAR((dialogArea.left + dialogArea.right) / 2, (ownerArea.left + ownerArea.right) / 2, 1);
    EXPECT_NEAR((dialogArea.top + dialogArea.bottom) / 2, (ownerArea.top + ownerArea.bottom) / 2, 1);
    EXPECT_EQ(RememberedFolder(), start);
}

TEST(FolderDialog, EmptyStartUsesTheRememberedFolderAndCancelKeepsIt) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring remembered = ShortFolder();
    SetRememberedFolder(remembered);
    DialogDriver driver(L"Zielordner", [&](HWND dialog) {
        WaitFor([&] { return FolderStatus(dialog) == remembered; }, 5000);
        EXPECT_EQ(FolderStatus(dialog), remembered);
        EXPECT_EQ(FolderPrompt(dialog), L"W\u00E4hlen Sie den Ordner f\u00FCr den Export:");
        EXPECT_TRUE(SaveScreenshot(dialog, L"browse-for-folder"));
        Press(dialog, IDCANCEL);
    });
    CallResult answer = BrowseForFolder(
        info.Get(), {Arg::Text(L""), Arg::Missing(), Arg::Long(2), Arg::Missing(),
                     Arg::Text(L"W\u00E4hlen Sie den Ordner f\u00FCr den Export:"), Arg::Text(L"Zielordner")});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(answer.Text(), L"");
    EXPECT_EQ(RememberedFolder(), remembered) << "Cancel stores nothing";
}

namespace {

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

}  // namespace

TEST(FolderDialog, OkIsDisabledInsideTheDesktopAndEnabledElsewhere) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring desktop = Desktop();
    ASSERT_FALSE(desktop.empty());
    const std::wstring inside = desktop + L"\\Projekte";
    CreateDirectoryW(inside.c_str(), nullptr);
    bool enabledElsewhere = false;
    bool enabledInside = true;
    std::wstring status;
    DialogDriver driver(kDefaultCaption, [&](HWND dialog) {
        WaitFor([&] { return FolderStatus(dialog) == WindowsFolder(); }, 5000);
        enabledElsewhere = IsEnabledControl(dialog, IDOK);
        // The user clicks the folder that lies on the desktop, shown below the tree's top.
        HWND tree = FolderTree(dialog);
        std::vector<HTREEITEM> top = ChildItems(tree, nullptr);
        ASSERT_FALSE(top.empty());
        for (HTREEITEM item : ChildItems(tree, top[0])) {
            if (ItemText(tree, item) == L"Projekte") SelectTreeItem(tree, item);
        }
        WaitFor([&] { return FolderStatus(dialog) == inside && !IsEnabledControl(dialog, IDOK); }, 5000);
        status = FolderStatus(dialog);
        enabledInside = IsEnabledControl(dialog, IDOK);
        Press(dialog, IDCANCEL);
    });
    BrowseForFolder(info.Get(), {Arg::Text(WindowsFolder())});
    ASSERT_TRUE(driver.Finish());
    EXPECT_TRUE(enabledElsewhere);
    EXPECT_EQ(status, inside);
    EXPECT_FALSE(enabledInside);
    RemoveDirectoryW(inside.c_str());
}

TEST(FolderDialog, DefaultRootIsTheShellsDesktopNotAFolderNamedDesktop) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring before = CurrentFolder();
    const std::wstring work = TempFolder();
    CreateDirectoryW((work + L"\\Desktop").c_str(), nullptr);
    SetCurrentDirectoryW(work.c_str());
    const std::wstring own = ShortFolder();
    CreateDirectoryW((own + L"\\Unter").c_str(), nullptr);
    struct Case {
        Arg root;
        std::wstring start;
        std::wstring rootPath;  // the path of the tree's top item
    };
    for (Case& c :
         std::vector<Case>{{Arg::Missing(), WindowsFolder(), Desktop()}, {Arg::Text(own), own + L"\\Unter", own}}) {
        std::wstring status;
        DialogDriver driver(kDefaultCaption, [&](HWND dialog) {
            HWND tree = FolderTree(dialog);
            std::vector<HTREEITEM> top = ChildItems(tree, nullptr);
            ASSERT_EQ(top.size(), 1u) << DescribeControls(dialog);
            // Away from the top first, so that selecting it is a change.
            std::vector<HTREEITEM> below = ChildItems(tree, top[0]);
            ASSERT_FALSE(below.empty());
            SelectTreeItem(tree, below[0]);
            SetTextOf(GetDlgItem(dialog, 0x3743), L"-");
            SelectTreeItem(tree, top[0]);
            WaitFor([&] { return FolderStatus(dialog) != L"-"; }, 5000);
            status = FolderStatus(dialog);
            Press(dialog, IDCANCEL);
        });
        BrowseForFolder(info.Get(),
                        {Arg::Text(c.start), c.root, Arg::Missing(), Arg::Missing(), Arg::Missing(), Arg::Missing()});
        EXPECT_TRUE(driver.Finish());
        EXPECT_NE(status, work + L"\\Desktop");
        // The shell's desktop may show the desktop folder's path or, as the name space's root, none.
        if (status != L"" || c.rootPath != Desktop()) EXPECT_EQ(status, c.rootPath);
    }
    SetCurrentDirectoryW(before.c_str());
}

TEST(FolderDialog, ARootThatCannotBeExpandedRaisesAndStoresNothing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    SetRememberedFolder(L"C:\\");
    // Should the call not raise, its dialog is cancelled and the test fails.
    DialogDriver guard(
        kDefaultCaption, [](HWND dialog) { Press(dialog, IDCANCEL); }, 3000);
    // A root that is a lone NUL character: the system has no full path for an empty name.
    CallResult answer = BrowseForFolder(info.Get(), {Arg::Text(L"C:\\"), Arg::Text(std::wstring(1, L'\0')),
                                                     Arg::Missing(), Arg::Missing(), Arg::Missing(), Arg::Missing()});
    EXPECT_FALSE(guard.Finish());
    EXPECT_EQ(answer.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<unsigned long>(answer.exception.scode) & 0xFFFF0000u, 0x80040000u);
    EXPECT_GE(static_cast<unsigned long>(answer.exception.scode), 0x80047148u);
    EXPECT_EQ(answer.Source(), L"ZanKit.cBrowseForFolder");
    EXPECT_EQ(RememberedFolder(), L"C:\\");
}

// ---- the folder browser object ---------------------------------------------------------------

TEST(FolderBrowserObject, SetFolderAndSetStatusNeedAnOpenDialog) {
    ComPtr<IDispatch> browser = CreateFolderBrowserObject();
    ASSERT_TRUE(browser);
    EXPECT_EQ(Get(browser.Get(), L"Title").Text(), L"W\u00E4hle einen Ordner");
    for (const wchar_t* member : {L"SetFolder", L"SetStatus"}) {
        CallResult refused = Call(browser.Get(), member, DISPATCH_METHOD, {Arg::Text(L"C:\\")});
        EXPECT_EQ(refused.hr, DISP_E_EXCEPTION) << member;
        EXPECT_EQ(static_cast<unsigned long>(refused.exception.scode), 0x800A6592ul) << member;  // 26002
        EXPECT_EQ(refused.Source(), L"ZanKit.cBrowseForFolder");
        EXPECT_EQ(refused.Description(), L"Operation invalid unless dialog is displayed.");
    }
}

TEST(FolderBrowserObject, EventsSteerTheOpenDialog) {
    ComPtr<IDispatch> browser = CreateFolderBrowserObject();
    ASSERT_TRUE(browser);
    const std::wstring chosen = ShortFolder();
    const std::wstring locked = ShortFolder();
    ComPtr<FolderBrowserSink> sink = ComPtr<FolderBrowserSink>::Adopt(new FolderBrowserSink());
    ASSERT_NE(AdviseFolderBrowser(browser.Get(), sink.Get()), 0u);
    // The host answers Initialized by moving the selection and writing its own status.
    sink->onInitialized = [&](HWND) {
        const CallResult r = Call(browser.Get(), L"SetFolder", DISPATCH_METHOD, {Arg::Text(locked)});
        EXPECT_EQ(r.hr, S_OK);
        Call(browser.Get(), L"SetStatus", DISPATCH_METHOD, {Arg::Text(L"Bitte w\u00E4hlen")});
    };
    sink->allowOk = [&](const std::wstring& path) { return path != locked; };
    Put(browser.Get(), L"Caption", Arg::Text(L"Auswahl"));
    Put(browser.Get(), L"StatusText", Arg::Bool(true));
    Put(browser.Get(), L"UseNewUI", Arg::Bool(true));
    Put(browser.Get(), L"InitialDir", Arg::Text(chosen));

    HWND seen = nullptr;
    bool okForLocked = true;
    DialogDriver driver(L"Auswahl", [&](HWND dialog) {
        seen = dialog;
        WaitFor([&] { return FolderStatus(dialog) == L"Bitte w\u00E4hlen"; }, 5000);
        EXPECT_EQ(FolderStatus(dialog), L"Bitte w\u00E4hlen");
        okForLocked = IsEnabledControl(dialog, IDOK);
        EXPECT_EQ(FolderPrompt(dialog), L"W\u00E4hle einen Ordner");
        Press(dialog, IDCANCEL);
    });
    CallResult answer = Call(browser.Get(), L"BrowseForFolder", DISPATCH_METHOD, {});
    ASSERT_TRUE(driver.Finish());
    EXPECT_FALSE(okForLocked);
    EXPECT_EQ(answer.Text(), L"") << "the driver cancelled";
    std::vector<std::wstring> selections;
    long initializedWindow = 0;
    for (const FolderBrowserSink::Event& event : sink->events) {
        if (event.id == 1) initializedWindow = event.window;
        if (event.id == 2) selections.push_back(event.text);
    }
    EXPECT_EQ(initializedWindow, HandleToLong(seen));
    EXPECT_NE(std::find(selections.begin(), selections.end(), locked), selections.end())
        << "SetFolder moves the selection";
    // After the dialog the object refuses again.
    EXPECT_EQ(Call(browser.Get(), L"SetStatus", DISPATCH_METHOD, {Arg::Text(L"x")}).hr, DISP_E_EXCEPTION);
}

TEST(FolderBrowserObject, AnItemWithoutAFileSystemPathAnswersEmpty) {
    ComPtr<IDispatch> browser = CreateFolderBrowserObject();
    ASSERT_TRUE(browser);
    Put(browser.Get(), L"StatusText", Arg::Bool(true));
    Put(browser.Get(), L"Caption", Arg::Text(L"Virtuell"));
    std::wstring pickedName;
    DialogDriver driver(L"Virtuell", [&](HWND dialog) {
        HWND tree = FolderTree(dialog);
        std::vector<HTREEITEM> top = ChildItems(tree, nullptr);
        ASSERT_FALSE(top.empty());
        // Below the desktop sits at least one virtual folder (the computer, the network).
        for (HTREEITEM item : ChildItems(tree, top[0])) {
            SelectTreeItem(tree, item);
            Sleep(100);
            if (FolderStatus(dialog).empty()) {
                pickedName = ItemText(tree, item);
                Press(dialog, IDOK);
                return;
            }
        }
        ADD_FAILURE() << "no virtual folder below the desktop";
    });
    CallResult answer = Call(browser.Get(), L"BrowseForFolder", DISPATCH_METHOD, {});
    ASSERT_TRUE(driver.Finish());
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_EQ(answer.Text(), L"");
    EXPECT_EQ(Get(browser.Get(), L"DisplayName").Text(), pickedName);
}
