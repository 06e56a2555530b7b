// zanFolderInfo under Wine: folder answers, the file and folder lists, special folders,
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

std::vector<std::wstring> Sorted(std::vector<std::wstring> items) {
    std::sort(items.begin(), items.end());
    return items;
}

std::wstring SpecialPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    PathRemoveBackslashW(path);  // Wine names the documents folder with a trailing "\"
    return path;
}

}  // namespace

TEST(FileInfoFolders, AnswersForAFolderADriveAndAMissingFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    auto ask = [&](const std::wstring& fileSpec, long type) { return Shown(FolderInfo(info.Get(), fileSpec, type)); };
    const std::wstring base = hosttest::TempFolder(), folder = base + L"\\Some Folder", none = base + L"\\none";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data);
    EXPECT_EQ(ask(folder + L"\\", 0), L"True");
    EXPECT_EQ(ask(folder + L"\\", 1), L"Some Folder");
    EXPECT_EQ(ask(folder, 2), folder + L"\\");
    EXPECT_EQ(ask(folder, 3), base + L"\\");
    EXPECT_EQ(ask(folder, 5), PathFindFileNameW(shortPath));
    EXPECT_EQ(ask(folder, 13), std::to_wstring(data.dwFileAttributes));
    EXPECT_DOUBLE_EQ(DateOf(FolderInfo(info.Get(), folder, 8)), LocalDateOf(data.ftCreationTime));
    EXPECT_EQ(TypeOf(FolderInfo(info.Get(), folder, 18)), VT_I2);
    EXPECT_EQ(ask(folder, 18), L"-1");
    for (long type : {11L, 12L, 16L, 17L}) EXPECT_EQ(ask(folder, type), L"Empty") << type;

    // "C:" is asked of the drive list; a bare drive has no creation date, so the day count
    // runs from the date value 0.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(ask(L"C:", 0), L"True");
    EXPECT_EQ(ask(L"C:\\", 15), L"True");
    EXPECT_EQ(ask(L"C:", 15), L"False");
    EXPECT_EQ(ask(L"C:\\", 8), L"Empty");
    EXPECT_EQ(FolderInfo(info.Get(), L"C:", 9).Number(), static_cast<long>(LocalDateOf(now)));

    for (long type : {0L, 1L, 8L, 60L, 61L}) EXPECT_EQ(ask(none, type), L"Empty") << type;
    EXPECT_EQ(TypeOf(FolderInfo(info.Get(), none, 59)), VT_DISPATCH);
    EXPECT_TRUE(CollectionItems(FolderInfo(info.Get(), none, 59)).empty());
}

TEST(FileInfoFolderLists, FilesByPatternHiddenIncludedAndSubFoldersWithoutDotFolders) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring dir = hosttest::TempFolder(), folder = dir + L"\\", japanese = L"\x65E5\x672C";  // 日本
    const std::wstring longName = std::wstring(200, L'L') + L".txt";
    for (const std::wstring& name :
         {std::wstring(L"a.log"), std::wstring(L"hidden.log"), japanese + L".log", longName, std::wstring(L"s.txt")}) {
        MakeFile(folder + name, 1);
    }
    SetFileAttributesW((folder + L"hidden.log").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    for (const std::wstring& name : {std::wstring(L"dir.log"), std::wstring(L".cache"), japanese}) {
        CreateDirectoryW((folder + name).c_str(), nullptr);
    }
    const std::vector<std::wstring> logs = {folder + L"a.log", folder + L"hidden.log", folder + japanese + L".log"};
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder + L"*.log", 59))), Sorted(logs));
    // Short names after a long one carry nothing of it.
    std::vector<std::wstring> all = logs;
    all.insert(all.end(), {folder + longName, folder + L"s.txt"});
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder, 59))), Sorted(all));
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), dir, 61))),
              Sorted({folder + L"dir.log", folder + japanese}));
    // A pattern answers only 59; one that matches nothing gives Count 0.
    EXPECT_EQ(Shown(FolderInfo(info.Get(), folder + L"*.log", 0)), L"Empty");
    EXPECT_EQ(Shown(FolderInfo(info.Get(), folder + L"*.log", 61)), L"Empty");
    EXPECT_TRUE(CollectionItems(FolderInfo(info.Get(), folder + L"*.none", 59)).empty());
}

TEST(FileInfoSpecialFolders, UserSystemTempAndPrinters) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    auto ask = [&](const std::wstring& fileSpec, long type) { return Shown(FolderInfo(info.Get(), fileSpec, type)); };
    wchar_t temp[MAX_PATH + 1] = {}, system[MAX_PATH] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring documents = ask(L"", 56);
    PathRemoveBackslashW(documents.data());
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) GetSystemWow64DirectoryW(system, MAX_PATH);
    const std::wstring systemFolder = wow64 ? system : SpecialPath(CSIDL_SYSTEM);
    EXPECT_EQ(ask(L"Z:\\does\\not\\exist", 49), SpecialPath(CSIDL_DESKTOP));
    EXPECT_EQ(ask(L"", 50), SpecialPath(CSIDL_WINDOWS));
    EXPECT_EQ(ask(L"", 51), systemFolder);
    if (wow64) {
        EXPECT_NE(systemFolder.find(L"syswow64"), std::wstring::npos) << systemFolder;
    }
    EXPECT_EQ(documents.c_str(), SpecialPath(CSIDL_PERSONAL));
    EXPECT_EQ(ask(L"", 54), temp);                          // with its closing separator
    CallResult printers = FolderInfo(info.Get(), L"", 58);  // no file-system path
    EXPECT_EQ(TypeOf(printers), VT_BSTR);
    EXPECT_EQ(printers.Text(), L"");
    // Application data looks at the folderspec argument.
    EXPECT_EQ(ask(L"Z:\\does\\not\\exist", 60), L"Empty");
    EXPECT_EQ(ask(L"C:\\", 60), SpecialPath(CSIDL_APPDATA));
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
    EXPECT_EQ(Shown(answer), L"Empty");
    std::vector<std::wstring> records = hosttest::TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(
        records[0].find(L"\tZanKit|FileSysInfo:zanFolderInfo#0\t76:(Path not found)|| " + drive + L"|13\t0\t-1\t"),
        std::wstring::npos)
        << records[0];
    ComPtr<IErrorInfo> pending;
    EXPECT_EQ(GetErrorInfo(0, pending.Put()), S_FALSE);
    FolderInfo(info.Get(), L"C:\\", 13);
    EXPECT_TRUE(hosttest::TakeLoggerRecords().empty()) << "a readable folder reports nothing";
}
