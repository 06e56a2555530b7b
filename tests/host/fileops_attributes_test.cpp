// FolderFileSetAttribute under Wine: the tree walk over read-only, hidden and normal files,
// dot folders, a symbolic-link loop, a folder with more subfolders than a 16-bit count
// holds, and failures with their reports.
#include <windows.h>

#include <gtest/gtest.h>

#include "fileops_support.h"

using namespace fileopstest;
using hosttest::Create;

namespace {

constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;

CallResult SetAttribute(IDispatch* info, const std::wstring& path, long mask, bool deep) {
    return hosttest::Call(info, L"FolderFileSetAttribute", DISPATCH_METHOD,
                          {Arg::Text(path), Arg::Long(mask), Arg::Bool(deep)});
}

// Attributes that matter here (the platform adds archive and directory bits of its own).
DWORD Kept(const std::wstring& path) { return Attributes(path) & (kReadOnly | kHidden | FILE_ATTRIBUTE_SYSTEM); }

void MakeFileWith(const std::wstring& path, DWORD attributes) {
    WriteBytes(path, "x");
    SetFileAttributesW(path.c_str(), attributes);
}

// root: ro.txt (read-only), hidden.txt (hidden), plain.txt, sub\ (hidden) with deep.txt
// (read-only and hidden), .cache\ with cached.txt (read-only).
std::wstring MakeTree() {
    const std::wstring root = FreshFolder();
    MakeFileWith(root + L"\\ro.txt", kReadOnly);
    MakeFileWith(root + L"\\hidden.txt", kHidden);
    MakeFileWith(root + L"\\plain.txt", FILE_ATTRIBUTE_NORMAL);
    CreateDirectoryW((root + L"\\sub").c_str(), nullptr);
    MakeFileWith(root + L"\\sub\\deep.txt", kReadOnly | kHidden);
    SetFileAttributesW((root + L"\\sub").c_str(), kHidden);
    CreateDirectoryW((root + L"\\.cache").c_str(), nullptr);
    MakeFileWith(root + L"\\.cache\\cached.txt", kReadOnly);
    return root;
}

}  // namespace

TEST(FileOpsAttributes, TheWalkResetsReadOnlyFilesAndSkipsDotFolders) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    struct Case {
        const char* call;
        bool trailingSeparator;
        bool deep;
    };
    for (const Case& c : {Case{"deep, with separator", true, true}, Case{"deep, without separator", false, true},
                          Case{"this folder only", false, false}}) {
        const std::wstring root = MakeTree();
        EXPECT_TRUE(IsTrue(SetAttribute(info.Get(), c.trailingSeparator ? root + L"\\" : root, 0, c.deep))) << c.call;
        EXPECT_EQ(Kept(root + L"\\ro.txt"), c.deep ? 0 : kReadOnly) << c.call;
        EXPECT_EQ(Kept(root + L"\\hidden.txt"), kHidden) << c.call << ": not read-only, left alone";
        EXPECT_EQ(Kept(root + L"\\sub"), c.deep ? 0 : kHidden) << c.call;
        EXPECT_EQ(Kept(root + L"\\sub\\deep.txt"), c.deep ? 0 : kReadOnly | kHidden) << c.call;
        EXPECT_EQ(Kept(root + L"\\.cache\\cached.txt"), kReadOnly) << c.call << ": dot folders are not visited";
    }
}

TEST(FileOpsAttributes, FilesGetTheMaskAndMissingPathsAnswerFalseSilently) {
    hosttest::RegisterTestLogger(true);
    hosttest::TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring root = FreshFolder();
    MakeFileWith(root + L"\\one.txt", FILE_ATTRIBUTE_NORMAL);
    MakeFileWith(root + L"\\one.txt.bak", kReadOnly);
    // A file has no tree: only it changes, whatever else its name begins.
    EXPECT_TRUE(IsTrue(SetAttribute(info.Get(), root + L"\\one.txt", kHidden | kReadOnly, true)));
    EXPECT_EQ(Kept(root + L"\\one.txt"), kHidden | kReadOnly);
    EXPECT_EQ(Kept(root + L"\\one.txt.bak"), kReadOnly);
    EXPECT_TRUE(IsFalse(SetAttribute(info.Get(), root + L"\\none", 0, true)));
    EXPECT_TRUE(IsFalse(SetAttribute(info.Get(), L"Q:\\nowhere\\", 0, true)));
    EXPECT_TRUE(hosttest::TakeLoggerRecords().empty());
}

TEST(FileOpsAttributes, AFileThatCannotBeChangedIsReportedOnceAndEveryLevelAnswersFalse) {
    // A name ending in a dot exists on disk but cannot be reached through the plain path
    // form, which drops the dot: the change fails with "file not found" (2).
    hosttest::RegisterTestLogger(true);
    hosttest::TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    for (const std::wstring& where : {std::wstring(), std::wstring(L"\\a\\b")}) {
        const std::wstring root = FreshFolder();
        CreateDirectoryW((root + L"\\a").c_str(), nullptr);
        CreateDirectoryW((root + L"\\a\\b").c_str(), nullptr);
        WriteBytes(L"\\\\?\\" + root + where + L"\\bad.", "x");
        EXPECT_TRUE(IsFalse(SetAttribute(info.Get(), root, 0, true)));
        std::vector<std::wstring> records = hosttest::TakeLoggerRecords();
        ASSERT_EQ(records.size(), 1u) << "reported by the level where it failed, once";
        EXPECT_NE(records[0].find(L"\tZanKit|FileSysInfo:FolderFileSetAttribute#0\t1000:(2|bad.)\t0\t-1\t"),
                  std::wstring::npos)
            << records[0];
        ComPtr<IErrorInfo> pending;
        EXPECT_EQ(GetErrorInfo(0, pending.Put()), S_FALSE);
    }
}

TEST(FileOpsAttributes, ALinkBackUpTheTreeIsSetButNotWalked) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring root = FreshFolder();
    CreateDirectoryW((root + L"\\inner").c_str(), nullptr);
    MakeFileWith(root + L"\\inner\\ro.txt", kReadOnly);
    ASSERT_TRUE(MakeHostSymlink(root, root + L"\\inner\\loop")) << "the link could not be made";
    EXPECT_TRUE(IsTrue(SetAttribute(info.Get(), root, 0, true)));
    EXPECT_EQ(Kept(root + L"\\inner\\ro.txt"), 0u);
    RemoveTree(root);  // no loop stays behind for walks of the temporary folder
}

TEST(FileOpsAttributes, MoreSubfoldersThanASixteenBitCountHolds) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring root = FreshFolder();
    constexpr int kFolders = 40000;
    ASSERT_TRUE(MakeManyOnHost(root, "d", kFolders, true));
    const std::wstring last = root + L"\\d" + std::to_wstring(kFolders - 1);
    MakeFileWith(last + L"\\ro.txt", kReadOnly);
    SetFileAttributesW(last.c_str(), kHidden);
    EXPECT_TRUE(IsTrue(SetAttribute(info.Get(), root, 0, true)));
    EXPECT_EQ(Kept(last + L"\\ro.txt"), 0u);
    EXPECT_EQ(Kept(last), 0u);
    RemoveTree(root);
}
