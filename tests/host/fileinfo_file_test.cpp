// zanFileInfo under Wine with real files: names outside the ANSI code page, short and type
// names, time stamps and day counts, sizes beyond 2 GiB, files held open, failures.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

namespace {

// A UTC time `seconds` away from the local midnight `days` days from today.
FILETIME AroundLocalMidnight(int days, int seconds) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
    FILETIME local, utc;
    SystemTimeToFileTime(&today, &local);
    ULARGE_INTEGER value{{local.dwLowDateTime, local.dwHighDateTime}};
    value.QuadPart += (static_cast<LONGLONG>(days) * 86400 + seconds) * 10000000LL;
    local = {value.LowPart, value.HighPart};
    LocalFileTimeToFileTime(&local, &utc);
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

TEST(FileInfoNames, AFileNamedOutsideTheAnsiCodePageIsAnsweredLikeAnyOther) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring japanese = L"\x65E5\x672C";  // 日本
    const std::wstring file = hosttest::TempFolder() + L"\\" + japanese + L".txt";
    MakeFile(file, 3000);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), file, 0)));
    EXPECT_EQ(FileInfo(info.Get(), file, 3).Text(), japanese);
    EXPECT_EQ(FileInfo(info.Get(), file, 16).Number(), 3000);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);  // hashed under Wine
    EXPECT_EQ(FileInfo(info.Get(), file, 8).Text(), shortPath);
    EXPECT_EQ(FileInfo(info.Get(), file, 7).Text(), PathFindFileNameW(shortPath));
    SHFILEINFOW shell = {};
    SHGetFileInfoW(file.c_str(), 0, &shell, sizeof shell, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    EXPECT_EQ(FileInfo(info.Get(), file, 9).Text(), shell.szTypeName);
    // A missing file still has name parts; questions 7 to 20 are Empty, 21 False.
    const std::wstring missing = hosttest::TempFolder() + L"\\C\\Report.final.docx";
    EXPECT_EQ(FileInfo(info.Get(), missing, 3).Text(), L"Report.final");
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), missing, 50)));
    for (long type = 7; type <= 20; ++type) EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), missing, type))) << type;
    EXPECT_TRUE(IsFalse(FileInfo(info.Get(), missing, 21)));
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), file, 23)));
}

TEST(FileInfoTimes, StampsComeBackAsLocalDatesAndDaysCountMidnights) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\dated.txt";
    MakeFile(file, 1);
    SYSTEMTIME written = {2020, 12, 0, 31, 23, 30, 1, 999};
    FILETIME stamp;
    SystemTimeToFileTime(&written, &stamp);
    SetAllTimes(file, stamp);
    written.wMilliseconds = 0;
    SystemTimeToFileTime(&written, &stamp);
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 11)), LocalDateOf(stamp));
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 12)), LocalDateOf(stamp));
    // Wine keeps no creation time of its own on Linux: compare with what the platform reads.
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
    EXPECT_DOUBLE_EQ(DateOf(FileInfo(info.Get(), file, 10)), LocalDateOf(data.ftCreationTime));

    // One second before today's midnight is yesterday; one after it is today; tomorrow is -1.
    struct Case {
        int days, seconds;
        long expected;
    };
    for (Case c : {Case{0, -1, 1}, Case{0, 1, 0}, Case{-1, -1, 2}, Case{2, 1, -2}, Case{-30, 0, 30}}) {
        SetAllTimes(file, AroundLocalMidnight(c.days, c.seconds));
        for (long type : {13L, 14L, 15L}) {
            EXPECT_EQ(FileInfo(info.Get(), file, type).Number(), c.expected)
                << c.days << " " << c.seconds << " " << type;
        }
    }
}

TEST(FileInfoSizes, LongBelowTwoGibibytesExactDoubleFromThere) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring decimal = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL);
    MakeFile(folder + L"\\1023.bin", 1023);
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), folder + L"\\1023.bin", 16)), VT_I4);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\1023.bin", 17).Text(), L"1" + decimal + L"5 KB");
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\1023.bin", 18).Text(), L"0" + decimal + L"00MB");
    const std::int64_t large = (5LL << 30) + 12345;
    MakeSparseFile(folder + L"\\below.bin", 2147483647LL);
    MakeSparseFile(folder + L"\\large.bin", large);
    CallResult below = FileInfo(info.Get(), folder + L"\\below.bin", 16);
    EXPECT_EQ(TypeOf(below), VT_I4);
    EXPECT_EQ(below.Number(), 2147483647);
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\below.bin", 17).Text(), L"2097152" + decimal + L"5 KB");
    CallResult exact = FileInfo(info.Get(), folder + L"\\large.bin", 16);
    ASSERT_EQ(TypeOf(exact), VT_R8);
    EXPECT_EQ(V_R8(&exact.value), static_cast<double>(large));
    EXPECT_EQ(FileInfo(info.Get(), folder + L"\\large.bin", 18).Text(), PlatformSizeText(large));
    DeleteFileW((folder + L"\\below.bin").c_str());
    DeleteFileW((folder + L"\\large.bin").c_str());
}

TEST(FileInfoAttributes, AttributesAndAFileHeldOpenWithoutSharing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\held.txt";
    MakeFile(file, 5);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(FileInfo(info.Get(), file, 19).Number(), static_cast<long>(GetFileAttributesW(file.c_str())));
    EXPECT_EQ(FileInfo(info.Get(), file, 20).Text(), L"HA");
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), file, 21)));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), file, 21)));
    CloseHandle(held);
    EXPECT_TRUE(IsEmpty(FileInfo(info.Get(), file, 21)));
    EXPECT_TRUE(DeleteFileW(file.c_str())) << "asking does not keep the file open";
}

TEST(FileInfoErrors, AMatchingWildcardExistsButItsSizeRaisesAnError) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    MakeFile(folder + L"\\a.log", 1);
    EXPECT_TRUE(IsTrue(FileInfo(info.Get(), folder + L"\\*.log", 0)));
    CallResult size = FileInfo(info.Get(), folder + L"\\*.log", 16);
    EXPECT_EQ(size.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(size.exception.scode, static_cast<SCODE>(0x800A0034));  // 52 Bad file name or number
    EXPECT_EQ(DateOf(FileInfo(info.Get(), folder + L"\\*.log", 12)), 0.0);
}
