// The shell file operations under Wine with real files: copies of single names and arrays
// (any lower bound, Unicode names), folder trees into destinations that do not exist yet,
// deletes with and without the recycle bin, failures, and the confirmation dialogs answered
// from a helper thread.
#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

#include "fileops_support.h"
#include "window_driver.h"

using namespace fileopstest;
using hosttest::Create;

namespace {

const std::wstring kUmlauts = L"Gr\x00FC\x00DF\x0065 \x00C4rger";  // Grüße Ärger
const std::wstring kJapanese = L"\x65E5\x672C\x8A9E";              // 日本語

bool Contains(const std::vector<std::wstring>& items, const std::wstring& part) {
    for (const std::wstring& item : items)
        if (item.find(part) != std::wstring::npos) return true;
    return false;
}

}  // namespace

TEST(FileOpsCopy, SingleNamesAndArraysOfEveryFormArriveIntact) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring source = FreshFolder();
    const std::vector<std::wstring> names = {L"a.txt", kUmlauts + L".txt", kJapanese + L".txt"};
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names) {
        WriteBytes(source + L"\\" + name, "content of " + std::to_string(paths.size()));
        paths.push_back(source + L"\\" + name);
    }
    Arg variantArray = NameArray(paths, 1, VT_VARIANT);
    struct Case {
        const char* form;
        Arg names;
        size_t count;
    };
    const Case cases[] = {
        {"single text", Arg::Text(paths[1]), 1},
        {"array of Variants from 1", variantArray, 3},
        {"array of strings from 0", NameArray(paths, 0, VT_BSTR), 3},
        {"array from -5", NameArray(paths, -5, VT_VARIANT), 3},
        {"script variable holding an array", Arg::RefTo(&variantArray.value), 3},
    };
    // Nothing is overwritten, so the shell has nothing to ask.
    hosttest::DialogAnswerer guard(IDNO);
    for (const Case& c : cases) {
        const std::wstring target = FreshFolder();
        EXPECT_TRUE(IsTrue(FilesCopy(info.Get(), c.names, target, true, false))) << c.form;
        for (size_t i = 0; i < names.size(); ++i) {
            const bool expected = c.count == 3 || i == 1;
            EXPECT_EQ(ReadBytes(target + L"\\" + names[i]),
                      expected ? "content of " + std::to_string(i) : std::string("<missing>"))
                << c.form << " " << i;
            EXPECT_TRUE(Exists(paths[i])) << "a copy keeps its source";
        }
    }
    // The defaults of the optional arguments: a plain copy into a new name.
    CallResult plain = hosttest::Call(info.Get(), L"FilesCopy", DISPATCH_METHOD,
                                      {Arg::Text(paths[0]), Arg::Text(source + L"\\copy.txt")});
    EXPECT_TRUE(IsTrue(plain));
    EXPECT_EQ(ReadBytes(source + L"\\copy.txt"), "content of 0");
    EXPECT_FALSE(guard.Stop()) << "a confirmation appeared";
}

TEST(FileOpsCopy, AFailingCopyAnswersFalseAndReportsOnce) {
    hosttest::RegisterTestLogger(true);
    hosttest::TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = FreshFolder();
    const std::wstring missing = folder + L"\\missing.txt";
    CallResult answer = FilesCopy(info.Get(), Arg::Text(missing), folder + L"\\to", false, true);
    EXPECT_TRUE(IsFalse(answer));
    std::vector<std::wstring> records = hosttest::TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    const size_t text = records[0].find(L"\tFSO:FilesCopyMove\tHResult=");
    ASSERT_NE(text, std::wstring::npos) << records[0];
    const std::wstring rest = records[0].substr(text);
    const std::wstring code = rest.substr(27, rest.find(L'|') - 27);
    EXPECT_NE(code, L"0");
    EXPECT_NE(rest.find(L"| File= " + missing + std::wstring(1, L'\0') + L"| MoveTo= " + folder + L"\\to\t"),
              std::wstring::npos)
        << "the list keeps its NUL separator";
    EXPECT_FALSE(Exists(folder + L"\\to"));
}

TEST(FileOpsCopy, RenameOnCollisionIsHandedToTheShell) {
    // The flag's effect is the shell's: Windows renames the copy, Wine's shell ignores the
    // flag and overwrites. Either way the call succeeds and the source stays.
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = FreshFolder();
    WriteBytes(folder + L"\\a.txt", "new");
    CreateDirectoryW((folder + L"\\to").c_str(), nullptr);
    WriteBytes(folder + L"\\to\\a.txt", "old");
    EXPECT_TRUE(IsTrue(FilesCopy(info.Get(), Arg::Text(folder + L"\\a.txt"), folder + L"\\to", false, true, true)));
    if (ReadBytes(folder + L"\\to\\a.txt") != "new") {
        // A renaming shell keeps the old file and puts the copy beside it.
        EXPECT_EQ(ReadBytes(folder + L"\\to\\a.txt"), "old");
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + L"\\to\\*a*.txt").c_str(), &entry);
        int files = 0;
        if (search != INVALID_HANDLE_VALUE) {
            do ++files;
            while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        EXPECT_EQ(files, 2);
    }
    EXPECT_EQ(ReadBytes(folder + L"\\a.txt"), "new");
}

TEST(FileOpsNames, ValuesWithoutTextReachTheCallerAsErrors) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    Arg null;
    V_VT(&null.value) = VT_NULL;
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    Arg twoDimensions;
    V_VT(&twoDimensions.value) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&twoDimensions.value) = SafeArrayCreate(VT_VARIANT, 2, bounds);
    SAFEARRAYBOUND one = {1, 0};
    Arg nullInArray;
    V_VT(&nullInArray.value) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&nullInArray.value) = SafeArrayCreate(VT_VARIANT, 1, &one);
    VARIANT* element = nullptr;
    LONG index = 0;
    SafeArrayPtrOfIndex(V_ARRAY(&nullInArray.value), &index, reinterpret_cast<void**>(&element));
    V_VT(element) = VT_NULL;
    struct Case {
        const char* value;
        Arg names;
        HRESULT error;
    };
    const Case cases[] = {
        {"Null", null, static_cast<HRESULT>(0x800A005E)},
        {"Null inside an array", nullInArray, static_cast<HRESULT>(0x800A005E)},
        {"two-dimensional array", twoDimensions, static_cast<HRESULT>(0x800A0009)},
    };
    for (const Case& c : cases) {
        for (const wchar_t* member : {L"FilesCopy", L"FilesDelete"}) {
            CallResult answer =
                hosttest::Call(info.Get(), member, DISPATCH_METHOD,
                               {c.names, std::wstring(member) == L"FilesCopy" ? Arg::Text(L"C:\\") : Arg::Bool(false)});
            EXPECT_EQ(answer.hr, DISP_E_EXCEPTION) << c.value;
            EXPECT_EQ(answer.exception.scode, c.error) << c.value;
        }
    }
}

TEST(FileOpsDelete, WithoutUndoTheFileIsGoneWithUndoItIsInTheRecycleBin) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = FreshFolder();
    for (bool undo : {false, true}) {
        const std::wstring stem = L"deleted-" + std::to_wstring(GetCurrentProcessId()) + (undo ? L"-undo" : L"-gone");
        WriteBytes(folder + L"\\" + stem + L".txt", "x");
        CreateDirectoryW((folder + L"\\" + stem + L"-dir").c_str(), nullptr);
        WriteBytes(folder + L"\\" + stem + L"-dir\\inner.txt", "y");
        EXPECT_TRUE(IsTrue(FilesDelete(info.Get(), Arg::Text(folder + L"\\" + stem + L".txt"), undo, false)));
        EXPECT_TRUE(IsTrue(FolderDelete(info.Get(), folder + L"\\" + stem + L"-dir", undo, false)));
        EXPECT_FALSE(Exists(folder + L"\\" + stem + L".txt"));
        EXPECT_FALSE(Exists(folder + L"\\" + stem + L"-dir"));
        const std::vector<std::wstring> bin = RecycleBinNames();
        EXPECT_EQ(Contains(bin, stem + L".txt") || Contains(bin, stem + L" "), undo) << "file, undo " << undo;
        EXPECT_EQ(Contains(bin, stem + L"-dir"), undo) << "folder, undo " << undo;
    }
    EXPECT_TRUE(IsFalse(FilesDelete(info.Get(), Arg::Text(folder + L"\\none.txt"), false, false)));
    EXPECT_TRUE(IsFalse(FolderDelete(info.Get(), folder + L"\\none", false, false)));
}

TEST(FileOpsDelete, MoreNamesThanASixteenBitIndexCanCount) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = FreshFolder();
    constexpr int kFiles = 33000;
    ASSERT_TRUE(MakeManyOnHost(folder, "f", kFiles, false));
    std::vector<std::wstring> paths;
    for (int i = 0; i < kFiles; ++i) paths.push_back(folder + L"\\f" + std::to_wstring(i));
    ASSERT_TRUE(Exists(paths.back()));
    EXPECT_TRUE(IsTrue(FilesDelete(info.Get(), NameArray(paths, 1, VT_VARIANT), false, false)));
    EXPECT_FALSE(Exists(paths.front()));
    EXPECT_FALSE(Exists(paths.back()));
}

TEST(FileOpsFolders, CopyAndMoveIntoDestinationsThatDoNotExistYet) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring base = FreshFolder();
    const std::wstring source = base + L"\\" + kJapanese;
    CreateDirectoryW(source.c_str(), nullptr);
    CreateDirectoryW((source + L"\\sub").c_str(), nullptr);
    WriteBytes(source + L"\\top.txt", "top");
    WriteBytes(source + L"\\sub\\" + kUmlauts + L".txt", "deep");
    // The destination is made first, so the folder arrives inside it under its own name.
    hosttest::DialogAnswerer guard(IDNO);
    for (bool confirm : {true, false}) {
        const std::wstring copy = base + (confirm ? L"\\copies\\one\\two" : L"\\quiet\\one");
        EXPECT_TRUE(IsTrue(FolderCopyMove(info.Get(), false, source, copy, confirm))) << confirm;
        EXPECT_EQ(ReadBytes(copy + L"\\" + kJapanese + L"\\top.txt"), "top") << confirm;
        EXPECT_EQ(ReadBytes(copy + L"\\" + kJapanese + L"\\sub\\" + kUmlauts + L".txt"), "deep") << confirm;
    }
    const std::wstring moved = base + L"\\moved\\here";
    EXPECT_TRUE(IsTrue(FolderCopyMove(info.Get(), true, source, moved, false)));
    EXPECT_EQ(ReadBytes(moved + L"\\" + kJapanese + L"\\sub\\" + kUmlauts + L".txt"), "deep");
    EXPECT_FALSE(Exists(source));
    EXPECT_TRUE(IsFalse(FolderCopyMove(info.Get(), false, base + L"\\none", base + L"\\x", false)));
    EXPECT_FALSE(guard.Stop()) << "a confirmation appeared";
}

// Each member with ShowConfirmation/Confirmation True asks before it overwrites or deletes:
// Yes does the work, No answers False and leaves everything as it was. (Wine's shell asks
// nothing when a move meets an existing folder, so FolderMove has no question to answer here.)
TEST(FileOpsConfirmation, YesDoesTheWorkNoChangesNothing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    struct Case {
        const char* member;
        std::function<void(const std::wstring&)> prepare;
        std::function<CallResult(const std::wstring&)> call;
        std::function<bool(const std::wstring&)> done;       // the work happened
        std::function<bool(const std::wstring&)> unchanged;  // nothing changed
    };
    auto prepareFolders = [](const std::wstring& base) {
        CreateDirectoryW((base + L"\\src").c_str(), nullptr);
        WriteBytes(base + L"\\src\\f.txt", "new");
        CreateDirectoryW((base + L"\\dst").c_str(), nullptr);
        CreateDirectoryW((base + L"\\dst\\src").c_str(), nullptr);
        WriteBytes(base + L"\\dst\\src\\f.txt", "old");
    };
    const Case cases[] = {
        {"FilesDelete", [](const std::wstring& b) { WriteBytes(b + L"\\f.txt", "x"); },
         [&](const std::wstring& b) { return FilesDelete(info.Get(), Arg::Text(b + L"\\f.txt"), false, true); },
         [](const std::wstring& b) { return !Exists(b + L"\\f.txt"); },
         [](const std::wstring& b) { return ReadBytes(b + L"\\f.txt") == "x"; }},
        {"FolderDelete",
         [](const std::wstring& b) {
             CreateDirectoryW((b + L"\\d").c_str(), nullptr);
             WriteBytes(b + L"\\d\\f.txt", "x");
         },
         [&](const std::wstring& b) { return FolderDelete(info.Get(), b + L"\\d", false, true); },
         [](const std::wstring& b) { return !Exists(b + L"\\d"); },
         [](const std::wstring& b) { return ReadBytes(b + L"\\d\\f.txt") == "x"; }},
        {"FilesCopy",
         [](const std::wstring& b) {
             WriteBytes(b + L"\\f.txt", "new");
             CreateDirectoryW((b + L"\\dst").c_str(), nullptr);
             WriteBytes(b + L"\\dst\\f.txt", "old");
         },
         [&](const std::wstring& b) {
             return FilesCopy(info.Get(), Arg::Text(b + L"\\f.txt"), b + L"\\dst", true, false);
         },
         [](const std::wstring& b) { return ReadBytes(b + L"\\dst\\f.txt") == "new"; },
         [](const std::wstring& b) { return ReadBytes(b + L"\\dst\\f.txt") == "old"; }},
        {"FolderCopy", prepareFolders,
         [&](const std::wstring& b) { return FolderCopyMove(info.Get(), false, b + L"\\src", b + L"\\dst", true); },
         [](const std::wstring& b) { return ReadBytes(b + L"\\dst\\src\\f.txt") == "new"; },
         [](const std::wstring& b) { return ReadBytes(b + L"\\dst\\src\\f.txt") == "old" && Exists(b + L"\\src"); }},
    };
    for (const Case& c : cases) {
        for (int button : {IDYES, IDNO}) {
            const std::wstring base = FreshFolder();
            c.prepare(base);
            hosttest::DialogAnswerer answerer(button);
            CallResult answer = c.call(base);
            EXPECT_TRUE(answerer.Answered()) << c.member << ": no confirmation appeared";
            if (button == IDYES) {
                EXPECT_TRUE(IsTrue(answer)) << c.member << " " << answer.hr;
                EXPECT_TRUE(c.done(base)) << c.member;
            } else {
                EXPECT_TRUE(IsFalse(answer)) << c.member << " " << answer.hr;
                EXPECT_TRUE(c.unchanged(base)) << c.member;
            }
        }
    }
}
