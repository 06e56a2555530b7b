// The FileSysInfo queries under Wine held against what the platform itself says: drive C:, the
// CD-ROM drive and the drive without a target the test script configures, a missing letter, real
// files with names outside the ANSI code page, local time stamps, sizes beyond 2 GiB, the locale
// answers in a German and an English run, and failures reaching the test logger.
#include <windows.h>
#include <lmcons.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

CallResult Query(IDispatch* info, const wchar_t* member, const std::wstring& fileSpec, long type) {
    return Call(info, member, DISPATCH_METHOD, {Arg::Text(fileSpec), Arg::Long(type)});
}

// An answer as one text: "Empty", "True", "False", or the value converted to text.
std::wstring Shown(const CallResult& answer) {
    if (FAILED(answer.hr)) return L"<failed>";
    if (V_VT(&answer.value) == VT_EMPTY) return L"Empty";
    if (V_VT(&answer.value) == VT_BOOL) return answer.Flag() ? L"True" : L"False";
    return answer.Text();
}

// One question asked of several types, and the answer they all give.
struct Row {
    std::wstring fileSpec;
    std::vector<long> types;
    std::wstring expected;
};
void ExpectAnswers(IDispatch* info, const wchar_t* member, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        for (long type : row.types) {
            EXPECT_EQ(Shown(Query(info, member, row.fileSpec, type)), row.expected) << row.fileSpec << " " << type;
        }
    }
}

// The strings of a collection answer, read through Count and Item as a script would, sorted.
std::vector<std::wstring> Items(const CallResult& answer) {
    std::vector<std::wstring> items;
    if (V_VT(&answer.value) != VT_DISPATCH) return {L"<no collection>"};
    for (long i = 1, count = Get(V_DISPATCH(&answer.value), L"Count").Number(); i <= count; ++i)
        items.push_back(Call(V_DISPATCH(&answer.value), L"Item", DISPATCH_METHOD, {Arg::Long(i)}).Text());
    std::sort(items.begin(), items.end());
    return items;
}

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

// The answer's value as a number (a date's too), -1 when it has none.
double NumberOf(const CallResult& answer) {
    Arg number;
    VariantChangeType(&number.value, const_cast<VARIANT*>(&answer.value), 0, VT_R8);
    return V_VT(&number.value) == VT_R8 ? V_R8(&number.value) : -1;
}

// A file time as a local date to the second, through SystemTimeToVariantTime.
double LocalDateOf(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME parts;
    FileTimeToLocalFileTime(&time, &local);
    FileTimeToSystemTime(&local, &parts);
    parts.wMilliseconds = 0;
    double date = 0;
    SystemTimeToVariantTime(&parts, &date);
    return date;
}

// Opens a file with the given access and sharing; for setting times and holding it open.
HANDLE Open(const std::wstring& path, DWORD access, DWORD share) {
    return CreateFileW(path.c_str(), access, share, nullptr, OPEN_ALWAYS, 0, nullptr);
}

}  // namespace

// The test script runs this group with LANG=de_DE.UTF-8 and with LANG=en_US.UTF-8 and tells
// which through ZANKIT_TEST_LOCALE.
TEST(FileInfoLocale, DecimalSeparatorShortDateAndSizesFollowTheUserLocale) {
    const std::wstring locale = EnvironmentText(L"ZANKIT_TEST_LOCALE");
    if (locale.empty()) GTEST_SKIP() << "run by the test script with ZANKIT_TEST_LOCALE=de or en";
    const bool german = locale == L"de";
    ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), german ? LANG_GERMAN : LANG_ENGLISH);
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = TempFolder() + L"\\one-and-a-half.bin";
    WriteBytes(file, std::string(1572864, 'x'));
    // The locale's own short date pattern (Wine's already has four-digit years), in lower case.
    wchar_t pattern[80] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, pattern, 80);
    CharLowerW(pattern);
    ExpectAnswers(info.Get(), L"zanFileInfo",
                  {{file, {zanFileSizeMByte}, german ? L"1,50MB" : L"1.50MB"},
                   {file, {zanFileSizeKByte}, german ? L"1536,5 KB" : L"1536.5 KB"}});
    auto sysInfo = [&](long type) {
        return Call(info.Get(), L"zanSysInfo", DISPATCH_METHOD, {Arg::Long(type)}).Text();
    };
    EXPECT_EQ(sysInfo(zanLocaleDecimalDelimiter), german ? L"," : L".");
    EXPECT_EQ(sysInfo(zanLocaleShortDateFormat), pattern);
}

TEST(FileInfoDrives, AnswersMatchThePlatformAndAFailureReachesTheLogger) {
    const std::wstring cdrom = EnvironmentText(L"ZANKIT_TEST_CDROM_DRIVE");
    const std::wstring dangling = EnvironmentText(L"ZANKIT_TEST_DANGLING_DRIVE");
    if (cdrom.empty() || dangling.empty()) GTEST_SKIP() << "run by the test script, which configures the drives";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    wchar_t none = L'Y';
    while (none > L'C' && (GetLogicalDrives() & (1u << (none - L'A')))) --none;
    ASSERT_GT(none, L'C');
    ExpectAnswers(
        info.Get(), L"zanDriveInfo",
        {{L"c", {zanDriveIsReady}, L"True"},
         {L"C:", {zanDriveShareName, zanDriveAvailableSpaceMB, zanDriveUsedSpacePercentage, zanDriveString}, L"Empty"},
         {cdrom, {zanDriveType}, L"5"},
         {dangling, {zanDriveExists}, L"True"},
         {dangling, {zanDriveIsReady}, L"False"},
         // listed but never ready: answered up to the letter
         {dangling, {zanDriveLetter}, dangling.substr(0, 1)},
         {dangling, {zanDrivePathWithColon, zanDriveVolumeName, zanDriveTotalSizekB, zanDriveSerialNumber}, L"Empty"},
         {std::wstring(1, none), {zanDriveExists}, L"False"},
         {std::wstring(1, none), {zanDriveIsReady, zanDriveLetter, zanDriveTotalNumberOfDrives}, L"Empty"},
         {L"\\\\server\\share", {zanDriveExists}, L"False"}});
    EXPECT_EQ(Call(info.Get(), L"CDROMpresent", DISPATCH_METHOD, {}).Text(), cdrom);
    // Real sizes beyond 2 GiB (once Empty).
    ULARGE_INTEGER total;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", nullptr, &total, nullptr));
    EXPECT_EQ(Query(info.Get(), L"zanDriveInfo", L"C:", zanDriveTotalSizekB).Text(), std::to_wstring(total.QuadPart));

    // N: is listed, so the folder test passes, but its attributes cannot be read.
    RegisterTestLogger(true);
    TakeLoggerRecords();
    EXPECT_EQ(Shown(Query(info.Get(), L"zanFolderInfo", dangling, zanFolderAttributes)), L"Empty");
    const std::vector<std::wstring> records = TakeLoggerRecords();
    const std::wstring expected =
        L"\tZanKit|FileSysInfo:zanFolderInfo#0\t76:(Path not found)|| " + dangling + L"|13\t0\t-1\t";
    EXPECT_TRUE(records.size() == 1 && records[0].find(expected) != std::wstring::npos)
        << testing::PrintToString(records);
}

TEST(FileInfoFolders, FolderAnswersSpecialFoldersListsAndTheUserName) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring base = TempFolder(), folder = base + L"\\Some Folder", inside = folder + L"\\";
    const std::wstring japanese = L"\x65E5\x672C", longName = std::wstring(200, L'L') + L".txt";  // 日本
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : std::vector<std::wstring>{L"a.log", L"hidden.log", japanese + L".log", longName})
        WriteBytes(inside + name);
    SetFileAttributesW((inside + L"hidden.log").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    for (const std::wstring& name : std::vector<std::wstring>{L"dir.log", L".cache", japanese})
        CreateDirectoryW((inside + name).c_str(), nullptr);
    wchar_t temp[MAX_PATH + 1] = {}, user[UNLEN + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    DWORD userSize = UNLEN + 1;
    ASSERT_TRUE(GetUserNameW(user, &userSize));
    // GetUserName counts the closing NUL; the answer holds none.
    EXPECT_EQ(Call(info.Get(), L"zanSysInfo", DISPATCH_METHOD, {Arg::Long(zanSysUserName)}).Text(), user);
    ExpectAnswers(
        info.Get(), L"zanFolderInfo",
        {{inside, {zanFolderExists}, L"True"},
         {inside, {zanFolderName}, L"Some Folder"},
         {folder, {zanFolderNumberOfFiles}, L"-1"},
         {folder, {zanFolderSizekB, zanFolderSizeMB, zanFolderLevel, zanFolderNumberOfSubfolders}, L"Empty"},
         {inside + L"*.log", {zanFolderExists, zanFolderFolderNameCollection}, L"Empty"},  // only the file list
         {L"C:", {zanFolderExists}, L"True"},                                              // asked of the drive list
         {L"C:\\", {zanFolderRootFolder}, L"True"},
         {L"C:", {zanFolderRootFolder}, L"False"},
         {base + L"\\none", {zanFolderExists, zanFolderDateCreated, zanFolderFolderNameCollection}, L"Empty"},
         {L"", {zanFolderTempDir}, temp},    // with its closing separator
         {L"", {zanFolderPrinters}, L""}});  // printers: no file-system path
    // A bare drive has no creation date, so the day count runs from the date value 0.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(Query(info.Get(), L"zanFolderInfo", L"C:", zanFolderDaysSinceDateCreated).Number(),
              static_cast<long>(LocalDateOf(now)));

    // Hidden files are listed, dot folders are not, and a short name after a long one carries
    // nothing of it. A pattern that matches nothing, or a missing folder, gives Count 0.
    const std::vector<std::wstring> logs = {inside + L"a.log", inside + L"hidden.log", inside + japanese + L".log"};
    std::vector<std::wstring> all = logs;
    all.push_back(inside + longName);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(Items(Query(info.Get(), L"zanFolderInfo", inside + L"*.log", zanFolderFileNameCollection)), logs);
    EXPECT_EQ(Items(Query(info.Get(), L"zanFolderInfo", inside, zanFolderFileNameCollection)), all);
    EXPECT_EQ(Items(Query(info.Get(), L"zanFolderInfo", folder, zanFolderFolderNameCollection)),
              (std::vector<std::wstring>{inside + L"dir.log", inside + japanese}));
    for (const std::wstring& empty : {inside + L"*.none", base + L"\\none"})
        EXPECT_TRUE(Items(Query(info.Get(), L"zanFolderInfo", empty, zanFolderFileNameCollection)).empty());
}

TEST(FileInfoFiles, NamesAttributesTimesSizesAndAFileHeldOpen) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = TempFolder(), japanese = L"\x65E5\x672C", file = folder + L"\\" + japanese + L".txt";
    const std::wstring missing = TempFolder() + L"\\C\\Report.final.docx";
    WriteBytes(file, std::string(3000, 'x'));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    for (const auto& [name, size] :
         {std::pair{L"\\below.bin", 2147483647LL}, std::pair{L"\\large.bin", (5LL << 30) + 12345}}) {
        HANDLE sparse = Open(folder + name, GENERIC_WRITE, 0);  // only the end is set
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(sparse, end, nullptr, FILE_BEGIN);
        SetEndOfFile(sparse);
        CloseHandle(sparse);
    }
    ExpectAnswers(
        info.Get(), L"zanFileInfo",
        {{file, {zanFileExists}, L"True"},
         {file, {zanFilenameWithoutExtension}, japanese},
         {file, {zanFileSizeBytes}, L"3000"},
         {file, {zanFileAttributesLetters}, L"HA"},
         {file, {zanFileIsInUse, zanFilehIcon}, L"Empty"},
         // A Long below 2 GiB, an exact Double from there; a matching wildcard exists.
         {folder + L"\\below.bin", {zanFileSizeBytes}, L"2147483647"},
         {folder + L"\\large.bin", {zanFileSizeBytes}, L"5368721465"},
         {folder + L"\\*.bin", {zanFileExists}, L"True"},
         // A missing file has name parts; from the short name to the attribute letters Empty.
         {missing, {zanFilenameWithoutExtension}, L"Report.final"},
         {missing, {zanFileExecutable, zanFileIsInUse}, L"False"},
         {missing, {zanDOSFilename, zanFileDateCreated, zanFileSizeBytes, zanFileAttributesLetters}, L"Empty"},
         // Around the unanswered questions 25 to 49.
         {L"a?b.exe", {zanFileNameValidate}, L"ab.exe"},
         {L"a?b.exe", {zanFileExecutable}, L"True"},
         {L"a?b.exe", {-1, 25, 49, 51}, L"Empty"}});
    // A wildcard's size raises 52 (Bad file name or number); its date is the date value 0.
    EXPECT_EQ(Query(info.Get(), L"zanFileInfo", folder + L"\\*.bin", zanFileSizeBytes).exception.scode,
              static_cast<SCODE>(0x800A0034));
    EXPECT_EQ(NumberOf(Query(info.Get(), L"zanFileInfo", folder + L"\\*.bin", zanFileDateLastModified)), 0.0);
    for (const wchar_t* name : {L"\\below.bin", L"\\large.bin"}) DeleteFileW((folder + name).c_str());
    HANDLE held = Open(file, GENERIC_READ, 0);
    EXPECT_EQ(Shown(Query(info.Get(), L"zanFileInfo", file, zanFileIsInUse)), L"True");
    CloseHandle(held);
    EXPECT_EQ(Shown(Query(info.Get(), L"zanFileInfo", file, zanFileIsInUse)), L"Empty");

    // Stamps come back as local dates (the unit tests hold the day counts and their midnights).
    HANDLE times = Open(file, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    SYSTEMTIME written = {2020, 12, 0, 31, 23, 30, 1, 999};
    FILETIME stamp;
    SystemTimeToFileTime(&written, &stamp);
    ASSERT_TRUE(SetFileTime(times, &stamp, &stamp, &stamp));
    for (long type : {zanFileDateLastAccessed, zanFileDateLastModified})
        EXPECT_DOUBLE_EQ(NumberOf(Query(info.Get(), L"zanFileInfo", file, type)), LocalDateOf(stamp));
    CloseHandle(times);
    EXPECT_TRUE(DeleteFileW(file.c_str())) << "asking does not keep the file open";
}
