// zanFileInfo under Wine with real files: names, short names, type names, times, sizes
// beyond 2 GiB, attributes, files held open, and names outside the ANSI code page.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

namespace {

const std::wstring kJapanese = L"\x65E5\x672C";  // 日本

void SetTimes(const std::wstring& path, const SYSTEMTIME& created, const SYSTEMTIME& accessed,
              const SYSTEMTIME& written) {
    FILETIME c, a, w;
    SystemTimeToFileTime(&created, &c);
    SystemTimeToFileTime(&accessed, &a);
    SystemTimeToFileTime(&written, &w);
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, &c, &a, &w));
    CloseHandle(file);
}

// A UTC time `days` days and `seconds` seconds away from the local midnight that begins today.
FILETIME AroundLocalMidnight(int days, int seconds) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
    FILETIME localMidnight, utc;
    SystemTimeToFileTime(&today, &localMidnight);
    ULARGE_INTEGER value;
    value.LowPart = localMidnight.dwLowDateTime;
    value.HighPart = localMidnight.dwHighDateTime;
    value.QuadPart += (static_cast<LONGLONG>(days) * 86400 + seconds) * 10000000LL;
    localMidnight.dwLowDateTime = value.LowPart;
    localMidnight.dwHighDateTime = value.HighPart;
    LocalFileTimeToFileTime(&localMidnight, &utc);
    return utc;
}

void SetAllTimes(const std::wstring& path, const FILETIME& time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, &time, &time, &time));
    CloseHandle(file);
}

}  // namespace

TEST(FileInfoNames, PartsOfAPathWhetherOrNotTheFileExists) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring spec = L"C:\\Temp\\Report.final.docx";
    EXPECT_EQ(FileInfo(info.Get(), spec, 2).Text(), L"Report.final.docx");
    EXPECT_EQ(FileInfo(info.Get(), spec, 3).Text(), L"Report.final");
    EXPECT_EQ(FileInfo(info.Get(), spec, 4).Text(), L"docx");
    EXPECT_EQ(FileInfo(info.Get(), spec, 5).Text(), L"C:\\Temp");
    EXPECT_EQ(FileInfo(info.Get(), spec, 6).Text(), L"C:");
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), spec, 50)));
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), spec, 0)));
    EXPECT_EQ(FileInfo(info.Get(), L"bare.txt", 5).Text(), L"bare.txt");
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), L"\\\\server\\share\\x.txt", 6)));
    EXPECT_EQ(FileInfo(info.Get(), L"a.b.c", 3).Text(), L"a.b");
    EXPECT_EQ(FileInfo(info.Get(), L".profile", 3).Text(), L"");

    // 1: the system's absolute path, relative parts resolved against the current folder.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring expected = std::wstring(current);
    if (expected.back() != L'\\') expected += L'\\';
    EXPECT_EQ(FileInfo(info.Get(), L"sub\\..\\x.txt", 1).Text(), expected + L"x.txt");
}

TEST(FileInfoNames, ValidityCleanupAndExecutablesNeedNoFile) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), L"a b", 22)));
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), L"a<b", 22)));
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), L" a", 22)));
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), L"a.", 22)));
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), L"C:\\a.txt", 22)));
    EXPECT_EQ(FileInfo(info.Get(), L"a:b*c.", 24).Text(), L"abc");
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), L"", 24)), VT_BSTR);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), L"setup.exe", 50)));
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), L"archive.7z", 50)));
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), L"C:\\x\\Script.VbS", 50)));
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), L"C:\\dir.x\\noextension", 50)));
    for (long type : {23L, 25L, 49L, 51L, -1L}) EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), L"setup.exe", type))) << type;
}

TEST(FileInfoMissing, QuestionsSevenToTwentyAreEmptyForAMissingFile) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring missing = hosttest::TempFolder() + L"\\missing.txt";
    for (long type = 7; type <= 20; ++type) EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), missing, type))) << type;
    EXPECT_EQ(FileInfo(info.Get(), missing, 2).Text(), L"missing.txt");
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), missing, 21)));
}

TEST(FileInfoUnicode, AFileNamedOutsideTheAnsiCodePageIsFoundAndAnswered) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring file = folder + L"\\" + kJapanese + L".txt";
    MakeFile(file, 3000);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), file, 0)));
    EXPECT_EQ(FileInfo(info.Get(), file, 2).Text(), kJapanese + L".txt");
    EXPECT_EQ(FileInfo(info.Get(), file, 3).Text(), kJapanese);
    EXPECT_EQ(FileInfo(info.Get(), file, 16).Number(), 3000);
    EXPECT_EQ(FileInfo(info.Get(), file, 19).Number(), static_cast<long>(GetFileAttributesW(file.c_str())));
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_EQ(FileInfo(info.Get(), file, 8).Text(), std::wstring(shortPath));
    std::wstring shortName(shortPath);
    EXPECT_EQ(FileInfo(info.Get(), file, 7).Text(), shortName.substr(shortName.rfind(L'\\') + 1));
    EXPECT_GT(FileInfo(info.Get(), file, 10).Number(), 0);
}

TEST(FileInfoTypes, TypeNameIsWhatTheShellSaysForTheExtension) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    for (const wchar_t* name : {L"\\a.txt", L"\\b.zkunknown", L"\\noextension"}) {
        std::wstring file = folder + name;
        MakeFile(file, 1);
        SHFILEINFOW shell = {};
        SHGetFileInfoW(file.c_str(), 0, &shell, sizeof shell, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
        EXPECT_EQ(FileInfo(info.Get(), file, 9).Text(), std::wstring(shell.szTypeName)) << name;
        EXPECT_FALSE(FileInfo(info.Get(), file, 9).Text().empty()) << name;
    }
}

TEST(FileInfoTimes, TimesSetWithSetFileTimeComeBackAsLocalDates) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\dated.txt";
    MakeFile(file, 10);
    SYSTEMTIME created = {2001, 2, 0, 3, 4, 5, 6, 700};
    SYSTEMTIME accessed = {2010, 7, 0, 14, 23, 59, 58, 0};
    SYSTEMTIME written = {2020, 12, 0, 31, 12, 0, 1, 999};
    SetTimes(file, created, accessed, written);
    FILETIME c, a, w;
    SystemTimeToFileTime(&created, &c);
    SystemTimeToFileTime(&accessed, &a);
    SystemTimeToFileTime(&written, &w);
    // Wine keeps no creation time of its own on Linux: compare with what the platform reads back.
    HANDLE read = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(read, INVALID_HANDLE_VALUE);
    GetFileTime(read, &c, &a, &w);
    CloseHandle(read);
    CallResult answer = FileInfo(info.Get(), file, 10);
    ASSERT_EQ(V_VT(&answer.value), VT_DATE);
    EXPECT_DOUBLE_EQ(V_DATE(&answer.value), LocalDateOf(c));
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 11)), LocalDateOf(a));
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 12)), LocalDateOf(w));
    // The stamps set are what comes back (seconds precision, local time).
    SYSTEMTIME expectedAccess = accessed, expectedWrite = written;
    expectedAccess.wMilliseconds = expectedWrite.wMilliseconds = 0;
    FILETIME a0, w0;
    SystemTimeToFileTime(&expectedAccess, &a0);
    SystemTimeToFileTime(&expectedWrite, &w0);
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 11)), LocalDateOf(a0));
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 12)), LocalDateOf(w0));
    // Day counts are whole days to today, the same for all three kinds of stamp.
    const long today = static_cast<long>(LocalNowDate());
    EXPECT_EQ(FileInfo(info.Get(), file, 13).Number(), today - static_cast<long>(LocalDateOf(c)));
    EXPECT_EQ(FileInfo(info.Get(), file, 14).Number(), today - static_cast<long>(LocalDateOf(a)));
    EXPECT_EQ(FileInfo(info.Get(), file, 15).Number(), today - static_cast<long>(LocalDateOf(w)));
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), file, 15)), VT_I4);
}

TEST(FileInfoTimes, DaysSinceCountMidnightsNotTwentyFourHourSpans) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\midnight.txt";
    MakeFile(file, 1);
    struct Case {
        int days, seconds;
        long expected;
    };
    // One second before today's midnight is yesterday; a second after it is today, however
    // close to now; a stamp tomorrow counts negative.
    for (Case c : {Case{0, -1, 1}, Case{0, 1, 0}, Case{-1, 1, 1}, Case{-1, -1, 2}, Case{2, 1, -2}, Case{-30, 0, 30}}) {
        SetAllTimes(file, AroundLocalMidnight(c.days, c.seconds));
        EXPECT_EQ(FileInfo(info.Get(), file, 13).Number(), c.expected) << c.days << " " << c.seconds;
        EXPECT_EQ(FileInfo(info.Get(), file, 14).Number(), c.expected) << c.days << " " << c.seconds;
        EXPECT_EQ(FileInfo(info.Get(), file, 15).Number(), c.expected) << c.days << " " << c.seconds;
    }
}

TEST(FileInfoSizes, SmallFilesAnswerLongsInThreeForms) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring decimal = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL);
    MakeFile(folder + L"\\1023.bin", 1023);
    CallResult bytes = FileInfo(info.Get(), folder + L"\\1023.bin", 16);
    EXPECT_EQ(V_VT(&bytes.value), VT_I4);
    EXPECT_EQ(V_I4(&bytes.value), 1023);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\1023.bin", 17).Text(), L"1" + decimal + L"5 KB");
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\1023.bin", 18).Text(), L"0" + decimal + L"00MB");
    MakeFile(folder + L"\\empty.bin", 0);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\empty.bin", 16).Number(), 0);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\empty.bin", 17).Text(), L"0" + decimal + L"5 KB");
}

TEST(FileInfoSizes, FilesOfTwoGibibytesAndMoreAnswerTheExactSize) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring decimal = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL);
    const std::int64_t justBelow = 2147483647LL;
    const std::int64_t large = 5LL * 1024 * 1024 * 1024 + 12345;
    MakeSparseFile(folder + L"\\below.bin", justBelow);
    MakeSparseFile(folder + L"\\large.bin", large);
    CallResult below = FileInfo(info.Get(), folder + L"\\below.bin", 16);
    EXPECT_EQ(V_VT(&below.value), VT_I4);
    EXPECT_EQ(V_I4(&below.value), 2147483647);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\below.bin", 17).Text(), L"2097152" + decimal + L"5 KB");
    CallResult exact = FileInfo(info.Get(), folder + L"\\large.bin", 16);
    ASSERT_EQ(V_VT(&exact.value), VT_R8);
    EXPECT_EQ(V_R8(&exact.value), static_cast<double>(large));
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\large.bin", 17).Text(), L"5242892" + decimal + L"6 KB");
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\large.bin", 18).Text(), PlatformSizeText(large));
    DeleteFileW((folder + L"\\below.bin").c_str());
    DeleteFileW((folder + L"\\large.bin").c_str());
}

TEST(FileInfoAttributes, NumbersAndLettersOfTheFileAttributes) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\flags.txt";
    MakeFile(file, 1);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(FileInfo(info.Get(), file, 19).Number(), static_cast<long>(GetFileAttributesW(file.c_str())));
    EXPECT_EQ(FileInfo(info.Get(), file, 20).Text(), L"RHA");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool archive = (GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_ARCHIVE) != 0;  // Wine keeps it
    EXPECT_EQ(FileInfo(info.Get(), file, 20).Text(), archive ? L"A" : L"");
}

TEST(FileInfoInUse, AFileHeldWithoutSharingIsInUseAndAFreeOneIsEmpty) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\held.txt";
    MakeFile(file, 5);
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), file, 21)));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), file, 21)));
    CloseHandle(held);
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), file, 21)));
    // Asking does not keep the file: it can be deleted at once.
    EXPECT_TRUE(DeleteFileW(file.c_str()));
}

TEST(FileInfoErrors, AWildcardThatMatchesExistsButHasNoSizeAndRaises) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    MakeFile(folder + L"\\a.log", 1);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), folder + L"\\*.log", 0)));
    CallResult size = FileInfo(info.Get(), folder + L"\\*.log", 16);
    EXPECT_EQ(size.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(size.exception.scode, static_cast<SCODE>(0x800A0034)) << std::hex << size.exception.scode;  // 52
    // A date of a pattern cannot be read: the date value 0.
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), folder + L"\\*.log", 12)), VT_DATE);
    EXPECT_EQ(DateOf(FileInfo(info.Get(), folder + L"\\*.log", 12)), 0.0);
}
