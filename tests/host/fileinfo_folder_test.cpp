// zanFolderInfo under Wine: folder answers, special folders, the file and folder lists,
// and a failure that reaches the test logger.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

namespace {

const std::wstring kJapanese = L"\x65E5\x672C";  // 日本

std::vector<std::wstring> Sorted(std::vector<std::wstring> items) {
    std::sort(items.begin(), items.end());
    return items;
}

std::wstring PlatformTempPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, buffer);
    return buffer;
}

// Wine names the documents folder with a trailing "\\", Windows without.
std::wstring WithoutTrailingSeparator(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

}  // namespace

TEST(FileInfoFolders, NamePartsOfAnExistingFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring base = hosttest::TempFolder();
    const std::wstring folder = base + L"\\Some Folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), folder, 0)));
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), folder + L"\\", 0)));
    EXPECT_EQ(FolderInfo(info.Get(), folder + L"\\", 1).Text(), L"Some Folder");
    EXPECT_EQ(FolderInfo(info.Get(), folder, 2).Text(), folder + L"\\");
    EXPECT_EQ(FolderInfo(info.Get(), folder + L"\\", 2).Text(), folder + L"\\");
    EXPECT_EQ(FolderInfo(info.Get(), folder, 3).Text(), base + L"\\");
    EXPECT_EQ(FolderInfo(info.Get(), folder, 4).Text(), base.substr(0, 2));
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_EQ(FolderInfo(info.Get(), folder, 6).Text(), std::wstring(shortPath));
    std::wstring shortName(shortPath);
    EXPECT_EQ(FolderInfo(info.Get(), folder, 5).Text(), shortName.substr(shortName.rfind(L'\\') + 1));
    EXPECT_FALSE(FolderInfo(info.Get(), folder, 7).Text().empty());
    EXPECT_EQ(FolderInfo(info.Get(), folder, 13).Number(), static_cast<long>(GetFileAttributesW(folder.c_str())));
    EXPECT_EQ(FolderInfo(info.Get(), folder, 14).Text(), L"");
    EXPECT_TRUE(IsFalse(FolderInfo(info.Get(), folder, 15)));
    CallResult files = FolderInfo(info.Get(), folder, 18);
    EXPECT_EQ(V_VT(&files.value), VT_I2);
    EXPECT_EQ(V_I2(&files.value), -1);
    for (long type : {10L, 11L, 12L, 16L, 17L, 19L, 40L, 62L}) EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder, type))) << type;
}

TEST(FileInfoFolders, DrivesRootsAndTheCurrentFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), L"C:", 0)));
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), L"C:\\", 15)));
    EXPECT_TRUE(IsFalse(FolderInfo(info.Get(), L"C:", 15)));
    EXPECT_EQ(FolderInfo(info.Get(), L"C:\\", 1).Text(), L"C:");
    EXPECT_EQ(FolderInfo(info.Get(), L"C:", 3).Text(), L"C:\\");
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), L"C:", 8)));
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), L"C:\\", 8)));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring expected(current);
    if (expected.back() != L'\\') expected += L'\\';
    EXPECT_EQ(FolderInfo(info.Get(), L"", 2).Text(), expected);
}

TEST(FileInfoFolders, AMissingFolderIsEmptyForEveryAnswerButTheFileList) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring missing = hosttest::TempFolder() + L"\\not-there";
    for (long type : {0L, 1L, 2L, 3L, 8L, 13L, 18L, 60L, 61L}) {
        EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), missing, type))) << type;
    }
    CallResult list = FolderInfo(info.Get(), missing, 59);
    ASSERT_EQ(V_VT(&list.value), VT_DISPATCH);
    EXPECT_EQ(hosttest::Get(V_DISPATCH(&list.value), L"Count").Number(), 0);
    // A file is no folder.
    const std::wstring file = hosttest::TempFolder() + L"\\file.txt";
    MakeFile(file, 1);
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), file, 0)));
}

TEST(FileInfoFolders, CreationDateAndDaysSince) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data));
    CallResult created = FolderInfo(info.Get(), folder, 8);
    ASSERT_EQ(V_VT(&created.value), VT_DATE);
    EXPECT_DOUBLE_EQ(V_DATE(&created.value), LocalDateOf(data.ftCreationTime));
    EXPECT_EQ(FolderInfo(info.Get(), folder, 9).Number(),
              static_cast<long>(LocalNowDate()) - static_cast<long>(LocalDateOf(data.ftCreationTime)));
    // A bare drive has no creation date: the count runs from the date value 0 (1899-12-30).
    EXPECT_EQ(FolderInfo(info.Get(), L"C:", 9).Number(), static_cast<long>(LocalNowDate()));
}

TEST(FileInfoFolderLists, PatternsListMatchingFilesHiddenOnesIncludedAsFullPaths) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    MakeFile(folder + L"\\a.log", 1);
    MakeFile(folder + L"\\hidden.log", 1);
    SetFileAttributesW((folder + L"\\hidden.log").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeFile(folder + L"\\" + kJapanese + L".log", 1);
    MakeFile(folder + L"\\other.txt", 1);
    CreateDirectoryW((folder + L"\\dir.log").c_str(), nullptr);
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder + L"\\*.log", 59))),
              Sorted({folder + L"\\a.log", folder + L"\\hidden.log", folder + L"\\" + kJapanese + L".log"}));
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder, 59))),
              Sorted({folder + L"\\a.log", folder + L"\\hidden.log", folder + L"\\" + kJapanese + L".log",
                      folder + L"\\other.txt"}));
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder + L"\\", 59))).size(), 4u);
    // With a pattern every other answer is Empty; a pattern that matches nothing gives Count 0.
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder + L"\\*.log", 0)));
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder + L"\\*.log", 61)));
    EXPECT_TRUE(CollectionItems(FolderInfo(info.Get(), folder + L"\\*.none", 59)).empty());
}

TEST(FileInfoFolderLists, NamesCarryNothingOfALongerPreviousName) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring longName = std::wstring(200, L'L') + L".txt";
    MakeFile(folder + L"\\" + longName, 1);
    MakeFile(folder + L"\\s.txt", 1);
    MakeFile(folder + L"\\m.txt", 1);
    std::vector<std::wstring> names = CollectionItems(FolderInfo(info.Get(), folder, 59));
    EXPECT_EQ(Sorted(names), Sorted({folder + L"\\" + longName, folder + L"\\m.txt", folder + L"\\s.txt"}));
    for (const std::wstring& name : names) {
        EXPECT_EQ(name.find(L'\0'), std::wstring::npos);
        EXPECT_NE(name.back(), L' ');
    }
}

TEST(FileInfoFolderLists, SubFoldersWithoutDotFoldersAndWithoutFiles) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    for (const std::wstring& name : {std::wstring(L"one"), std::wstring(L".cache"), kJapanese, std::wstring(L"two.d")}) {
        CreateDirectoryW((folder + L"\\" + name).c_str(), nullptr);
    }
    MakeFile(folder + L"\\file.txt", 1);
    CallResult list = FolderInfo(info.Get(), folder, 61);
    EXPECT_EQ(Sorted(CollectionItems(list)),
              Sorted({folder + L"\\one", folder + L"\\" + kJapanese, folder + L"\\two.d"}));
    // The collection: Item from 1, Item(0) and Item(Count + 1) raise "Subscript out of range".
    IDispatch* names = V_DISPATCH(&list.value);
    EXPECT_EQ(hosttest::Call(names, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {hosttest::Arg::Long(4)}).exception.scode,
              static_cast<SCODE>(0x800A0009));
}

TEST(FileInfoSpecialFolders, UserAndSystemFoldersWhateverTheSpecification) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOP, FALSE));
    EXPECT_EQ(FolderInfo(info.Get(), L"", 49).Text(), std::wstring(path));
    EXPECT_EQ(FolderInfo(info.Get(), L"Z:\\does\\not\\exist", 49).Text(), std::wstring(path));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, FALSE));
    EXPECT_EQ(WithoutTrailingSeparator(FolderInfo(info.Get(), L"", 56).Text()), WithoutTrailingSeparator(path));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_WINDOWS, FALSE));
    EXPECT_EQ(FolderInfo(info.Get(), L"", 50).Text(), std::wstring(path));
    // The temporary folder is the system's answer with its trailing "\".
    std::wstring temp = FolderInfo(info.Get(), L"", 54).Text();
    EXPECT_EQ(temp, PlatformTempPath());
    EXPECT_EQ(temp.back(), L'\\');
    // The printers folder has no file-system path.
    CallResult printers = FolderInfo(info.Get(), L"", 58);
    EXPECT_EQ(V_VT(&printers.value), VT_BSTR);
    EXPECT_EQ(printers.Text(), L"");
    // Application data looks at the specification: a missing folder gives Empty.
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), L"Z:\\does\\not\\exist", 60)));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE));
    EXPECT_EQ(FolderInfo(info.Get(), L"C:\\", 60).Text(), std::wstring(path));
}

TEST(FileInfoSpecialFolders, TheSystemFolderOfA32BitProcessIsTheWow64One) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    wchar_t expected[MAX_PATH] = {};
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) {
        ASSERT_GT(GetSystemWow64DirectoryW(expected, MAX_PATH), 0u);
        EXPECT_NE(std::wstring(expected).find(L"syswow64"), std::wstring::npos) << expected;
    } else {
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, expected, CSIDL_SYSTEM, FALSE));
    }
    EXPECT_EQ(FolderInfo(info.Get(), L"", 51).Text(), std::wstring(expected));
}

TEST(FileInfoFolderReports, AFailureReachesTheLoggerWithTagAndText) {
    // The test script maps this drive to a folder that does not exist: the drive is listed,
    // so the folder test passes, but its attributes cannot be read.
    const std::wstring drive = EnvironmentText(L"ZANKIT_TEST_DANGLING_DRIVE");
    if (drive.empty()) GTEST_SKIP() << "run by the test script, which configures the drive";
    hosttest::RegisterTestLogger(true);
    hosttest::TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult answer = FolderInfo(info.Get(), drive, 13);
    EXPECT_EQ(answer.hr, S_OK);
    EXPECT_TRUE(IsEmpty(answer));
    std::vector<std::wstring> records = hosttest::TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find(L"\tZanKit|FileSysInfo:zanFolderInfo#0\t76:(Path not found)|| " + drive + L"|13\t0\t-1\t"),
              std::wstring::npos)
        << records[0];
    ComPtr<IErrorInfo> pending;
    EXPECT_EQ(GetErrorInfo(0, pending.Put()), S_FALSE);
    // The letters answer fails the same way; a folder that can be read reports nothing.
    FolderInfo(info.Get(), drive + L"\\", 14);
    records = hosttest::TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find(L"76:(Path not found)|| " + drive + L"\\|14\t"), std::wstring::npos) << records[0];
    FolderInfo(info.Get(), L"C:\\", 13);
    EXPECT_TRUE(hosttest::TakeLoggerRecords().empty());
}
