// The file operations under Wine with real files: copies of single names and arrays (any lower
// bound, Unicode names), folder trees into destinations not made yet, deletes, failures and the
// confirmation answered from a helper thread; and FolderFileSetAttribute's tree walk over dot
// folders, a symbolic-link loop and more subfolders than a 16-bit count holds.
#include <windows.h>

#include <gtest/gtest.h>

#include "host_support.h"
#include "window_driver.h"

using namespace hosttest;

namespace {

const std::wstring kUmlauts = L"Gr\x00FC\x00DF\x0065 \x00C4rger";  // Grüße Ärger
const std::wstring kJapanese = L"\x65E5\x672C\x8A9E";              // 日本語

// A one-dimensional array with the given lower bound: VT_VARIANT or VT_BSTR elements.
Arg NameArray(const std::vector<std::wstring>& names, LONG lowerBound, VARTYPE elementType) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(names.size()), lowerBound};
    Arg arg;
    V_VT(&arg.value) = VT_ARRAY | elementType;
    V_ARRAY(&arg.value) = SafeArrayCreate(elementType, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
        LONG index = lowerBound + i;
        Arg text = Arg::Text(names[i]);
        SafeArrayPutElement(V_ARRAY(&arg.value), &index,
                            elementType == VT_BSTR ? static_cast<void*>(V_BSTR(&text.value)) : &text.value);
    }
    return arg;
}

// The members with every argument given (first the names, then the options); True is 1.
int FilesCopy(IDispatch* info, const Arg& names, const std::wstring& moveTo, bool confirm) {
    return Call(info, L"FilesCopy", DISPATCH_METHOD,
                {names, Arg::Text(moveTo), Arg::Bool(confirm), Arg::Bool(!confirm), Arg::Bool(false), Arg::Long(0)})
        .Flag();
}
int Delete(IDispatch* info, const wchar_t* member, const Arg& names, bool allowUndo, bool confirm) {
    return Call(info, member, DISPATCH_METHOD,
                {names, Arg::Bool(allowUndo), Arg::Bool(confirm), Arg::Bool(true), Arg::Long(0)})
        .Flag();
}
int FolderCopyMove(IDispatch* info, const wchar_t* member, const std::wstring& from, const std::wstring& to,
                   bool confirm) {
    return Call(info, member, DISPATCH_METHOD, {Arg::Text(from), Arg::Text(to), Arg::Bool(confirm), Arg::Long(0)})
        .Flag();
}

constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;

CallResult SetAttribute(IDispatch* info, const std::wstring& path, long mask, bool deep) {
    return Call(info, L"FolderFileSetAttribute", DISPATCH_METHOD, {Arg::Text(path), Arg::Long(mask), Arg::Bool(deep)});
}

// Attributes that matter here (the platform adds archive and directory bits of its own).
DWORD Kept(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) & (kReadOnly | kHidden | FILE_ATTRIBUTE_SYSTEM);
}

void MakeFileWith(const std::wstring& path, DWORD attributes) {
    WriteBytes(path, "x");
    SetFileAttributesW(path.c_str(), attributes);
}

// An answer of False, and nothing left pending for the caller.
bool IsQuietFalse(const CallResult& answer) {
    ComPtr<IErrorInfo> pending;
    return answer.hr == S_OK && answer.Flag() == 0 && GetErrorInfo(0, pending.Put()) == S_FALSE;
}

}  // namespace

TEST(FileOpsCopy, NamesArraysAndFolderTreesArriveIntactFailuresAnswerFalseOrRaise) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring source = TempFolder();
    const std::vector<std::wstring> names = {L"a.txt", kUmlauts + L".txt", kJapanese + L".txt"};
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names) {
        WriteBytes(source + L"\\" + name, "content of " + std::to_string(paths.size()));
        paths.push_back(source + L"\\" + name);
    }
    Arg variantArray = NameArray(paths, 1, VT_VARIANT);  // also passed as a whole below
    const struct {
        const char* form;
        Arg names;
    } rows[] = {
        {"single text (the second name)", Arg::Text(paths[1])},
        {"array of strings from 0", NameArray(paths, 0, VT_BSTR)},
        {"array from -5", NameArray(paths, -5, VT_VARIANT)},
        {"script variable holding an array from 1", Arg::RefTo(&variantArray.value)},
    };
    DialogAnswerer guard(IDNO);  // nothing is overwritten, so the shell has nothing to ask
    for (const auto& row : rows) {
        SCOPED_TRACE(row.form);
        const std::wstring target = TempFolder();
        EXPECT_EQ(FilesCopy(info.Get(), row.names, target, true), 1);
        for (size_t i = 0; i < names.size(); ++i) {
            const bool copied = V_VT(&row.names.value) != VT_BSTR || i == 1;
            EXPECT_EQ(ReadBytes(target + L"\\" + names[i]), copied ? "content of " + std::to_string(i) : "<missing>");
            EXPECT_TRUE(Exists(paths[i])) << "a copy keeps its source";
        }
    }
    // A folder goes into a destination made first and arrives there under its own name.
    const std::wstring base = TempFolder(), tree = base + L"\\" + kJapanese;
    const std::wstring deep = L"\\" + kJapanese + L"\\sub\\" + kUmlauts + L".txt";
    CreateDirectoryW(tree.c_str(), nullptr);
    CreateDirectoryW((tree + L"\\sub").c_str(), nullptr);
    WriteBytes(tree + L"\\top.txt", "top");
    WriteBytes(base + deep, "deep");
    const std::wstring copy = base + L"\\copies\\one\\two";
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderCopy", tree, copy, true), 1);
    EXPECT_EQ(ReadBytes(copy + L"\\" + kJapanese + L"\\top.txt"), "top");
    EXPECT_EQ(ReadBytes(copy + deep), "deep");
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderMove", tree, base + L"\\moved\\here", false), 1);
    EXPECT_EQ(ReadBytes(base + L"\\moved\\here" + deep), "deep");
    EXPECT_FALSE(Exists(tree));
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderCopy", base + L"\\none", base + L"\\x", false), 0);
    EXPECT_FALSE(guard.Stop()) << "a confirmation appeared";

    // A failure answers False and is reported once (the record's text is unit-tested); names
    // without text raise.
    RegisterTestLogger(true);
    TakeLoggerRecords();
    EXPECT_EQ(FilesCopy(info.Get(), Arg::Text(source + L"\\missing.txt"), source + L"\\to", false), 0);
    const std::vector<std::wstring> records = TakeLoggerRecords();
    EXPECT_TRUE(records.size() == 1 && records[0].find(L"\tFSO:FilesCopyMove\tHResult=") != std::wstring::npos);
    EXPECT_FALSE(Exists(source + L"\\to"));
    // A relative destination is no path FolderCreate takes (reported, nothing made); the shell
    // copies all the same, relative to the current folder, and as the destination does not exist
    // the folder arrives under the destination's name, not inside it.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(base.c_str());
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderCopy", copy + L"\\" + kJapanese, L"rel\\dest", false), 1);
    SetCurrentDirectoryW(current);
    EXPECT_EQ(ReadBytes(base + L"\\rel\\dest\\sub\\" + kUmlauts + L".txt"), "deep");
    const std::vector<std::wstring> badPath = TakeLoggerRecords();
    EXPECT_TRUE(badPath.size() == 1 && badPath[0].find(L"1000:(Bad path: )|| rel\\dest") != std::wstring::npos);

    SAFEARRAYBOUND one = {1, 0}, two[2] = {{2, 0}, {2, 0}};
    Arg nullInArray, twoDimensions;
    V_VT(&nullInArray.value) = V_VT(&twoDimensions.value) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&nullInArray.value) = SafeArrayCreate(VT_VARIANT, 1, &one);
    V_ARRAY(&twoDimensions.value) = SafeArrayCreate(VT_VARIANT, 2, two);
    LONG first = 0;
    Arg null = Arg::Of(VT_NULL);
    SafeArrayPutElement(V_ARRAY(&nullInArray.value), &first, &null.value);
    const std::pair<const Arg*, HRESULT> unreadable[] = {
        {&null, 0x800A005E}, {&nullInArray, 0x800A005E}, {&twoDimensions, 0x800A0009}};
    for (const auto& [list, error] : unreadable) {
        for (const wchar_t* member : {L"FilesCopy", L"FilesDelete"}) {
            const Arg second = std::wstring(member) == L"FilesCopy" ? Arg::Text(L"C:\\") : Arg::Bool(false);
            EXPECT_EQ(Call(info.Get(), member, DISPATCH_METHOD, {*list, second}).exception.scode, error) << member;
        }
    }
}

// Whether a deleted item lands in the recycle bin is the shell's business; the flag word that
// asks for it is checked by the unit tests. With Confirmation True the shell asks first: Yes does
// the work, No answers False and leaves the file. Every member reads the answer the same way (the
// unit tests hold each member's flags), so one delete stands for all.
TEST(FileOpsDelete, FilesAndFoldersGoMissingOnesAnswerFalseAndTheConfirmationIsHeard) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = TempFolder();
    const std::wstring file = folder + L"\\gone.txt", tree = folder + L"\\tree";
    WriteBytes(file);
    CreateDirectoryW(tree.c_str(), nullptr);
    WriteBytes(tree + L"\\inner.txt");
    EXPECT_EQ(Delete(info.Get(), L"FilesDelete", Arg::Text(file), true, false), 1);
    EXPECT_EQ(Delete(info.Get(), L"FolderDelete", Arg::Text(tree), true, false), 1);
    EXPECT_FALSE(Exists(file) || Exists(tree));
    EXPECT_EQ(Delete(info.Get(), L"FilesDelete", Arg::Text(folder + L"\\none.txt"), false, false), 0);
    EXPECT_EQ(Delete(info.Get(), L"FolderDelete", Arg::Text(folder + L"\\none"), false, false), 0);
    for (int button : {IDYES, IDNO}) {
        WriteBytes(file, "kept");
        DialogAnswerer answerer(button);
        EXPECT_EQ(Delete(info.Get(), L"FilesDelete", Arg::Text(file), false, true), button == IDYES ? 1 : 0);
        EXPECT_TRUE(answerer.Finish()) << "no confirmation appeared";
        EXPECT_EQ(ReadBytes(file), button == IDYES ? "<missing>" : "kept");
    }

    // More names than a 16-bit index counts.
    constexpr int kFiles = 33000;
    ASSERT_TRUE(MakeManyOnHost(folder, "f", kFiles, false));
    std::vector<std::wstring> paths;
    for (int i = 0; i < kFiles; ++i) paths.push_back(folder + L"\\f" + std::to_wstring(i));
    EXPECT_EQ(Delete(info.Get(), L"FilesDelete", NameArray(paths, 1, VT_VARIANT), false, false), 1);
    EXPECT_FALSE(Exists(paths.front()) || Exists(paths.back()));
}

TEST(FileOpsAttributes, TheWalkSkipsDotFoldersAndLinksAFileGetsTheMaskFailuresAnswerFalse) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    for (const auto& [separator, deep] : {std::pair{L"\\", true}, std::pair{L"", true}, std::pair{L"", false}}) {
        SCOPED_TRACE(testing::Message() << "separator " << separator << " deep " << deep);
        // ro.txt, hidden.txt, plain.txt, sub\ (hidden) with deep.txt, .cache\ with cached.txt.
        const std::wstring root = TempFolder();
        MakeFileWith(root + L"\\ro.txt", kReadOnly);
        MakeFileWith(root + L"\\hidden.txt", kHidden);
        MakeFileWith(root + L"\\plain.txt", FILE_ATTRIBUTE_NORMAL);
        CreateDirectoryW((root + L"\\sub").c_str(), nullptr);
        MakeFileWith(root + L"\\sub\\deep.txt", kReadOnly | kHidden);
        SetFileAttributesW((root + L"\\sub").c_str(), kHidden);
        CreateDirectoryW((root + L"\\.cache").c_str(), nullptr);
        MakeFileWith(root + L"\\.cache\\cached.txt", kReadOnly);

        EXPECT_EQ(SetAttribute(info.Get(), root + separator, 0, deep).Flag(), 1);
        EXPECT_EQ(Kept(root + L"\\ro.txt"), deep ? 0 : kReadOnly);
        EXPECT_EQ(Kept(root + L"\\hidden.txt"), kHidden) << "not read-only, left alone";
        EXPECT_EQ(Kept(root + L"\\sub"), deep ? 0 : kHidden);
        EXPECT_EQ(Kept(root + L"\\sub\\deep.txt"), deep ? 0 : kReadOnly | kHidden);
        EXPECT_EQ(Kept(root + L"\\.cache\\cached.txt"), kReadOnly) << "dot folders are not visited";
    }
    RegisterTestLogger(true);
    TakeLoggerRecords();
    const std::wstring root = TempFolder();
    MakeFileWith(root + L"\\one.txt", FILE_ATTRIBUTE_NORMAL);
    MakeFileWith(root + L"\\one.txt.bak", kReadOnly);
    // A file has no tree: only it changes, whatever else its name begins.
    EXPECT_EQ(SetAttribute(info.Get(), root + L"\\one.txt", kHidden | kReadOnly, true).Flag(), 1);
    EXPECT_EQ(Kept(root + L"\\one.txt"), kHidden | kReadOnly);
    EXPECT_EQ(Kept(root + L"\\one.txt.bak"), kReadOnly);
    // Missing paths answer False without a report.
    EXPECT_TRUE(IsQuietFalse(SetAttribute(info.Get(), root + L"\\none", 0, true)));
    EXPECT_TRUE(IsQuietFalse(SetAttribute(info.Get(), L"Q:\\nowhere\\", 0, true)));
    EXPECT_TRUE(TakeLoggerRecords().empty());

    // A name ending in a dot exists on disk but cannot be reached through the plain path form,
    // which drops the dot: the change fails with "file not found" (2), reported once by the
    // level where it failed, and every level above answers False.
    for (const std::wstring& where : {std::wstring(), std::wstring(L"\\a\\b")}) {
        const std::wstring tree = TempFolder();
        CreateDirectoryW((tree + L"\\a").c_str(), nullptr);
        CreateDirectoryW((tree + L"\\a\\b").c_str(), nullptr);
        WriteBytes(L"\\\\?\\" + tree + where + L"\\bad.", "x");
        EXPECT_TRUE(IsQuietFalse(SetAttribute(info.Get(), tree, 0, true)));
        const std::vector<std::wstring> records = TakeLoggerRecords();
        EXPECT_TRUE(records.size() == 1 &&
                    records[0].find(L"\tZanKit|FileSysInfo:FolderFileSetAttribute#0\t1000:(2|bad.)\t0\t-1\t") !=
                        std::wstring::npos)
            << testing::PrintToString(records);
    }

    // A link back up the tree is set but not walked, below more subfolders than a 16-bit count holds.
    const std::wstring many = TempFolder();
    constexpr int kFolders = 40000;
    ASSERT_TRUE(MakeManyOnHost(many, "d", kFolders, true));
    const std::wstring last = many + L"\\d" + std::to_wstring(kFolders - 1);
    MakeFileWith(last + L"\\ro.txt", kReadOnly);
    SetFileAttributesW(last.c_str(), kHidden);
    const std::string from = UnixPath(many), to = UnixPath(last + L"\\loop");
    ASSERT_TRUE(RunOnHost("ln -sfn '" + from + "' '" + to + "'", [&] { return Exists(last + L"\\loop"); }));
    EXPECT_EQ(SetAttribute(info.Get(), many, 0, true).Flag(), 1);
    EXPECT_EQ(Kept(last + L"\\ro.txt"), 0u);
    EXPECT_EQ(Kept(last), 0u);
    // No loop stays behind for walks of the temporary folder.
    RunOnHost("rm -rf '" + from + "'", [&] { return !Exists(many); });
}
