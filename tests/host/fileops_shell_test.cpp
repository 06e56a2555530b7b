// The shell file operations under Wine with real files: copies of single names and arrays
// (any lower bound, Unicode names), folder trees into destinations that do not exist yet,
// deletes with and without the recycle bin, failures, and the confirmation dialogs answered
// from a helper thread.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <functional>

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

// The display names of the items in the platform's recycle bin, each followed by "|".
std::wstring RecycleBinNames() {
    std::wstring names;
    ComPtr<IShellFolder> desktop, bin;
    ComPtr<IEnumIDList> items;
    LPITEMIDLIST binId = nullptr, item = nullptr;
    if (FAILED(SHGetDesktopFolder(desktop.Put())) ||
        FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &binId)))
        return names;
    HRESULT hr = desktop->BindToObject(binId, nullptr, IID_IShellFolder, bin.PutVoid());
    CoTaskMemFree(binId);
    if (FAILED(hr) ||
        bin->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, items.Put()) != S_OK)
        return names;
    for (; items->Next(1, &item, nullptr) == S_OK; CoTaskMemFree(item)) {
        STRRET name = {};
        wchar_t* text = nullptr;
        if (SUCCEEDED(bin->GetDisplayNameOf(item, SHGDN_NORMAL, &name)) && SUCCEEDED(StrRetToStrW(&name, item, &text)))
            names += text + std::wstring(L"|");
        CoTaskMemFree(text);
    }
    return names;
}

}  // namespace

TEST(FileOpsCopy, SingleNamesAndArraysOfEveryFormArriveIntact) {
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
    // The optional arguments left out: a plain copy into a new name.
    Call(info.Get(), L"FilesCopy", DISPATCH_METHOD, {Arg::Text(paths[0]), Arg::Text(source + L"\\copy.txt")});
    EXPECT_EQ(ReadBytes(source + L"\\copy.txt"), "content of 0");
    EXPECT_FALSE(guard.Stop()) << "a confirmation appeared";
}

TEST(FileOpsCopy, FailuresAnswerFalseAndReportOnceOrRaiseForNamesWithoutText) {
    RegisterTestLogger(true);
    TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = TempFolder(), missing = folder + L"\\missing.txt";
    EXPECT_EQ(FilesCopy(info.Get(), Arg::Text(missing), folder + L"\\to", false), 0);
    // Reported once; the record's text is built by code the unit tests cover.
    const std::vector<std::wstring> records = TakeLoggerRecords();
    EXPECT_TRUE(records.size() == 1 && records[0].find(L"\tFSO:FilesCopyMove\tHResult=") != std::wstring::npos);
    EXPECT_FALSE(Exists(folder + L"\\to"));

    SAFEARRAYBOUND one = {1, 0}, two[2] = {{2, 0}, {2, 0}};
    Arg nullInArray, twoDimensions;
    V_VT(&nullInArray.value) = V_VT(&twoDimensions.value) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&nullInArray.value) = SafeArrayCreate(VT_VARIANT, 1, &one);
    V_ARRAY(&twoDimensions.value) = SafeArrayCreate(VT_VARIANT, 2, two);
    LONG first = 0;
    Arg null = Arg::Of(VT_NULL);
    SafeArrayPutElement(V_ARRAY(&nullInArray.value), &first, &null.value);
    const std::pair<const Arg*, HRESULT> rows[] = {
        {&null, 0x800A005E}, {&nullInArray, 0x800A005E}, {&twoDimensions, 0x800A0009}};
    for (const auto& [names, error] : rows) {
        for (const wchar_t* member : {L"FilesCopy", L"FilesDelete"}) {
            const Arg second = std::wstring(member) == L"FilesCopy" ? Arg::Text(L"C:\\") : Arg::Bool(false);
            EXPECT_EQ(Call(info.Get(), member, DISPATCH_METHOD, {*names, second}).exception.scode, error) << member;
        }
    }
}

TEST(FileOpsDelete, WithoutUndoTheFileIsGoneWithUndoItIsInTheRecycleBin) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = TempFolder();
    for (bool undo : {false, true}) {
        const std::wstring stem = folder.substr(folder.rfind(L"zankit-host-") + 12) + (undo ? L"-undo" : L"-gone");
        const std::wstring file = folder + L"\\" + stem + L".txt", tree = folder + L"\\" + stem + L"-dir";
        WriteBytes(file);
        CreateDirectoryW(tree.c_str(), nullptr);
        WriteBytes(tree + L"\\inner.txt");
        EXPECT_EQ(Delete(info.Get(), L"FilesDelete", Arg::Text(file), undo, false), 1);
        EXPECT_EQ(Delete(info.Get(), L"FolderDelete", Arg::Text(tree), undo, false), 1);
        EXPECT_FALSE(Exists(file) || Exists(tree));
        const std::wstring bin = RecycleBinNames();
        EXPECT_EQ(bin.find(stem + L".txt") != std::wstring::npos || bin.find(stem + L" ") != std::wstring::npos, undo)
            << "file, undo " << undo;
        EXPECT_EQ(bin.find(stem + L"-dir") != std::wstring::npos, undo) << "folder, undo " << undo;
    }
    EXPECT_EQ(Delete(info.Get(), L"FilesDelete", Arg::Text(folder + L"\\none.txt"), false, false), 0);
    EXPECT_EQ(Delete(info.Get(), L"FolderDelete", Arg::Text(folder + L"\\none"), false, false), 0);

    // More names than a 16-bit index counts.
    constexpr int kFiles = 33000;
    ASSERT_TRUE(MakeManyOnHost(folder, "f", kFiles, false));
    std::vector<std::wstring> paths;
    for (int i = 0; i < kFiles; ++i) paths.push_back(folder + L"\\f" + std::to_wstring(i));
    EXPECT_EQ(Delete(info.Get(), L"FilesDelete", NameArray(paths, 1, VT_VARIANT), false, false), 1);
    EXPECT_FALSE(Exists(paths.front()) || Exists(paths.back()));
}

TEST(FileOpsFolders, CopyAndMoveIntoDestinationsThatDoNotExistYet) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring base = TempFolder(), source = base + L"\\" + kJapanese;
    const std::wstring deep = L"\\" + kJapanese + L"\\sub\\" + kUmlauts + L".txt";
    CreateDirectoryW(source.c_str(), nullptr);
    CreateDirectoryW((source + L"\\sub").c_str(), nullptr);
    WriteBytes(source + L"\\top.txt", "top");
    WriteBytes(base + deep, "deep");
    // The destination is made first, so the folder arrives inside it under its own name.
    DialogAnswerer guard(IDNO);
    const std::wstring copy = base + L"\\copies\\one\\two";
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderCopy", source, copy, true), 1);
    EXPECT_EQ(ReadBytes(copy + L"\\" + kJapanese + L"\\top.txt"), "top");
    EXPECT_EQ(ReadBytes(copy + deep), "deep");
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderMove", source, base + L"\\moved\\here", false), 1);
    EXPECT_EQ(ReadBytes(base + L"\\moved\\here" + deep), "deep");
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(FolderCopyMove(info.Get(), L"FolderCopy", base + L"\\none", base + L"\\x", false), 0);
    EXPECT_FALSE(guard.Stop()) << "a confirmation appeared";
}

// With ShowConfirmation/Confirmation True the shell asks before it overwrites or deletes: Yes
// does the work, No answers False and leaves everything as it was. Every member reads the answer
// the same way (the unit tests hold each member's flags), so a delete and a copy stand for all.
TEST(FileOpsConfirmation, YesDoesTheWorkNoChangesNothing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    using Step = std::function<int(const std::wstring& base)>;
    const struct {
        const char* member;
        const wchar_t* checked;  // the file the work changes
        const char* after;       // its bytes after the work
        Step call;
    } rows[] = {
        {"FilesDelete", L"\\f.txt", "<missing>",
         [&](auto& b) { return Delete(info.Get(), L"FilesDelete", Arg::Text(b + L"\\f.txt"), false, true); }},
        {"FolderCopy", L"\\dst\\src\\f.txt", "new",
         [&](auto& b) { return FolderCopyMove(info.Get(), L"FolderCopy", b + L"\\src", b + L"\\dst", true); }},
    };
    for (const auto& row : rows) {
        for (int button : {IDYES, IDNO}) {
            SCOPED_TRACE(testing::Message() << row.member << (button == IDYES ? " yes" : " no"));
            // f.txt and src\f.txt hold "new", dst\src\f.txt "old".
            const std::wstring base = TempFolder();
            for (const wchar_t* folder : {L"\\src", L"\\dst", L"\\dst\\src"})
                CreateDirectoryW((base + folder).c_str(), nullptr);
            for (const wchar_t* file : {L"\\f.txt", L"\\src\\f.txt"}) WriteBytes(base + file, "new");
            WriteBytes(base + L"\\dst\\src\\f.txt", "old");
            const std::string before = ReadBytes(base + row.checked);
            DialogAnswerer answerer(button);
            EXPECT_EQ(row.call(base), button == IDYES ? 1 : 0);
            EXPECT_TRUE(answerer.Answered()) << "no confirmation appeared";
            EXPECT_EQ(ReadBytes(base + row.checked), button == IDYES ? row.after : before);
        }
    }
}
