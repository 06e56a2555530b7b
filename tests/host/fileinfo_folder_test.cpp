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

const std::wstring kJapanese = L"\x65E5\x672C";  // 日本

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
    const std::wstring base = hosttest::TempFolder();
    const std::wstring folder = base + L"\\Some Folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), folder + L"\\", 0)));
    EXPECT_EQ(FolderInfo(info.Get(), folder + L"\\", 1).Text(), L"Some Folder");
    EXPECT_EQ(FolderInfo(info.Get(), folder, 2).Text(), folder + L"\\");
    EXPECT_EQ(FolderInfo(info.Get(), folder, 3).Text(), base + L"\\");
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_EQ(FolderInfo(info.Get(), folder, 5).Text(), PathFindFileNameW(shortPath));
    EXPECT_EQ(FolderInfo(info.Get(), folder, 13).Number(), static_cast<long>(GetFileAttributesW(folder.c_str())));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data);
    EXPECT_DOUBLE_EQ(DateOf(FolderInfo(info.Get(), folder, 8)), LocalDateOf(data.ftCreationTime));
    CallResult files = FolderInfo(info.Get(), folder, 18);
    EXPECT_EQ(TypeOf(files), VT_I2);
    EXPECT_EQ(files.Number(), -1);
    for (long type : {11L, 12L, 16L, 17L}) EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder, type))) << type;

    // "C:" is asked of the drive list; a bare drive has no creation date, so the day count
    // runs from the date value 0.
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), L"C:", 0)));
    EXPECT_TRUE(IsTrue(FolderInfo(info.Get(), L"C:\\", 15)));
    EXPECT_TRUE(IsFalse(FolderInfo(info.Get(), L"C:", 15)));
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), L"C:\\", 8)));
    EXPECT_EQ(FolderInfo(info.Get(), L"C:", 9).Number(), static_cast<long>(LocalNowDate()));

    for (long type : {0L, 1L, 8L, 60L, 61L})
        EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), base + L"\\none", type))) << type;
    EXPECT_TRUE(CollectionItems(FolderInfo(info.Get(), base + L"\\none", 59)).empty());
    EXPECT_EQ(TypeOf(FolderInfo(info.Get(), base + L"\\none", 59)), VT_DISPATCH);
}

TEST(FileInfoFolderLists, FilesByPatternHiddenIncludedAndSubFoldersWithoutDotFolders) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring longName = std::wstring(200, L'L') + L".txt";
    for (const std::wstring& name :
         {std::wstring(L"a.log"), std::wstring(L"hidden.log"), kJapanese + L".log", longName, std::wstring(L"s.txt")}) {
        MakeFile(folder + L"\\" + name, 1);
    }
    SetFileAttributesW((folder + L"\\hidden.log").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    for (const std::wstring& name : {std::wstring(L"dir.log"), std::wstring(L".cache"), kJapanese}) {
        CreateDirectoryW((folder + L"\\" + name).c_str(), nullptr);
    }
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder + L"\\*.log", 59))),
              Sorted({folder + L"\\a.log", folder + L"\\hidden.log", folder + L"\\" + kJapanese + L".log"}));
    // Short names after a long one carry nothing of it.
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder + L"\\", 59))),
              Sorted({folder + L"\\a.log", folder + L"\\hidden.log", folder + L"\\" + kJapanese + L".log",
                      folder + L"\\" + longName, folder + L"\\s.txt"}));
    EXPECT_EQ(Sorted(CollectionItems(FolderInfo(info.Get(), folder, 61))),
              Sorted({folder + L"\\dir.log", folder + L"\\" + kJapanese}));
    // A pattern answers only 59; one that matches nothing gives Count 0.
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder + L"\\*.log", 0)));
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), folder + L"\\*.log", 61)));
    EXPECT_TRUE(CollectionItems(FolderInfo(info.Get(), folder + L"\\*.none", 59)).empty());
}

TEST(FileInfoSpecialFolders, UserSystemTempAndPrinters) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_EQ(FolderInfo(info.Get(), L"Z:\\does\\not\\exist", 49).Text(), SpecialPath(CSIDL_DESKTOP));
    EXPECT_EQ(FolderInfo(info.Get(), L"", 50).Text(), SpecialPath(CSIDL_WINDOWS));
    std::wstring documents = FolderInfo(info.Get(), L"", 56).Text();
    PathRemoveBackslashW(documents.data());
    EXPECT_EQ(documents.c_str(), SpecialPath(CSIDL_PERSONAL));
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(FolderInfo(info.Get(), L"", 54).Text(), temp);
    EXPECT_EQ(FolderInfo(info.Get(), L"", 54).Text().back(), L'\\');
    CallResult printers = FolderInfo(info.Get(), L"", 58);  // no file-system path
    EXPECT_EQ(TypeOf(printers), VT_BSTR);
    EXPECT_EQ(printers.Text(), L"");
    // Application data looks at the folderspec argument.
    EXPECT_TRUE(IsEmpty(FolderInfo(info.Get(), L"Z:\\does\\not\\exist", 60)));
    EXPECT_EQ(FolderInfo(info.Get(), L"C:\\", 60).Text(), SpecialPath(CSIDL_APPDATA));

    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    wchar_t system[MAX_PATH] = {};
    if (wow64) {
        GetSystemWow64DirectoryW(system, MAX_PATH);
        EXPECT_NE(std::wstring(system).find(L"syswow64"), std::wstring::npos) << system;
    } else {
        wcscpy(system, SpecialPath(CSIDL_SYSTEM).c_str());
    }
    EXPECT_EQ(FolderInfo(info.Get(), L"", 51).Text(), system);
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
    EXPECT_NE(
        records[0].find(L"\tZanKit|FileSysInfo:zanFolderInfo#0\t76:(Path not found)|| " + drive + L"|13\t0\t-1\t"),
        std::wstring::npos)
        << records[0];
    ComPtr<IErrorInfo> pending;
    EXPECT_EQ(GetErrorInfo(0, pending.Put()), S_FALSE);
    FolderInfo(info.Get(), L"C:\\", 13);
    EXPECT_TRUE(hosttest::TakeLoggerRecords().empty()) << "a readable folder reports nothing";
}
