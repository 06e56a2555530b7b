// FolderFileSetAttribute under Wine: the tree walk over read-only, hidden and normal files,
// dot folders, a symbolic-link loop, a folder with more subfolders than a 16-bit count
// holds, and failures with their reports.
#include <windows.h>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

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

TEST(FileOpsAttributes, TheWalkResetsReadOnlyFilesAndSkipsDotFolders) {
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
}

TEST(FileOpsAttributes, FilesGetTheMaskAndFailuresAnswerFalse) {
    RegisterTestLogger(true);
    TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
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
        std::vector<std::wstring> records = TakeLoggerRecords();
        ASSERT_EQ(records.size(), 1u) << "where " << testing::PrintToString(where);
        EXPECT_NE(records[0].find(L"\tZanKit|FileSysInfo:FolderFileSetAttribute#0\t1000:(2|bad.)\t0\t-1\t"),
                  std::wstring::npos)
            << records[0];
    }
}

// A link back up the tree is set but not walked, and a folder holds more subfolders than a
// 16-bit count does.
TEST(FileOpsAttributes, ALinkLoopAndMoreSubfoldersThanASixteenBitCountHolds) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring root = TempFolder();
    constexpr int kFolders = 40000;
    ASSERT_TRUE(MakeManyOnHost(root, "d", kFolders, true));
    const std::wstring last = root + L"\\d" + std::to_wstring(kFolders - 1);
    MakeFileWith(last + L"\\ro.txt", kReadOnly);
    SetFileAttributesW(last.c_str(), kHidden);
    const std::string from = UnixPath(root), to = UnixPath(last + L"\\loop");
    ASSERT_TRUE(RunOnHost("ln -sfn '" + from + "' '" + to + "'", [&] { return Exists(last + L"\\loop"); }));
    EXPECT_EQ(SetAttribute(info.Get(), root, 0, true).Flag(), 1);
    EXPECT_EQ(Kept(last + L"\\ro.txt"), 0u);
    EXPECT_EQ(Kept(last), 0u);
    // No loop stays behind for walks of the temporary folder.
    RunOnHost("rm -rf '" + from + "'", [&] { return !Exists(root); });
}
