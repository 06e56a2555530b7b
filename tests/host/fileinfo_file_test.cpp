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
    const std::wstring missing = hosttest::TempFolder() + L"\\C\\Report.final.docx";
    MakeFile(file, 3000);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);  // hashed under Wine
    SHFILEINFOW shell = {};
    SHGetFileInfoW(file.c_str(), 0, &shell, sizeof shell, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    auto ask = [&](const std::wstring& fileSpec, long type) { return Shown(FileInfo(info.Get(), fileSpec, type)); };
    EXPECT_EQ(ask(file, 0), L"True");
    EXPECT_EQ(ask(file, 3), japanese);
    EXPECT_EQ(ask(file, 16), L"3000");
    EXPECT_EQ(ask(file, 8), shortPath);
    EXPECT_EQ(ask(file, 7), PathFindFileNameW(shortPath));
    EXPECT_EQ(ask(file, 9), shell.szTypeName);
    EXPECT_EQ(ask(file, 23), L"Empty");
    // A missing file still has name parts; questions 7 to 20 are Empty, 21 False.
    EXPECT_EQ(ask(missing, 3), L"Report.final");
    EXPECT_EQ(ask(missing, 50), L"False");
    EXPECT_EQ(ask(missing, 21), L"False");
    for (long type = 7; type <= 20; ++type) EXPECT_EQ(ask(missing, type), L"Empty") << type;
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
    const struct {
        int days, seconds;
        long expected;
    } rows[] = {{0, -1, 1}, {0, 1, 0}, {-1, -1, 2}, {2, 1, -2}, {-30, 0, 30}};
    for (const auto& row : rows) {
        SetAllTimes(file, AroundLocalMidnight(row.days, row.seconds));
        for (long type : {13L, 14L, 15L}) {
            EXPECT_EQ(FileInfo(info.Get(), file, type).Number(), row.expected)
                << row.days << " " << row.seconds << " " << type;
        }
    }
}

TEST(FileInfoSizes, LongBelowTwoGibibytesExactDoubleFromThere) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder(), small = folder + L"\\1023.bin";
    const std::wstring below = folder + L"\\below.bin", large = folder + L"\\large.bin";
    const std::wstring decimal = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL);
    const std::int64_t largeSize = (5LL << 30) + 12345;
    MakeFile(small, 1023);
    MakeFile(below, 2147483647LL, true);
    MakeFile(large, largeSize, true);
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), small, 16)), VT_I4);
    EXPECT_EQ(FileInfo(info.Get(), small, 17).Text(), L"1" + decimal + L"5 KB");
    EXPECT_EQ(FileInfo(info.Get(), small, 18).Text(), L"0" + decimal + L"00MB");
    EXPECT_EQ(TypeOf(FileInfo(info.Get(), below, 16)), VT_I4);
    EXPECT_EQ(FileInfo(info.Get(), below, 16).Number(), 2147483647);
    EXPECT_EQ(FileInfo(info.Get(), below, 17).Text(), L"2097152" + decimal + L"5 KB");
    EXPECT_EQ(DoubleOf(FileInfo(info.Get(), large, 16)), static_cast<double>(largeSize));
    EXPECT_EQ(FileInfo(info.Get(), large, 18).Text(), PlatformSizeText(largeSize));
    DeleteFileW(below.c_str());
    DeleteFileW(large.c_str());
}

TEST(FileInfoAttributes, AttributesAndAFileHeldOpenWithoutSharing) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\held.txt";
    MakeFile(file, 5);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(FileInfo(info.Get(), file, 19).Number(), static_cast<long>(GetFileAttributesW(file.c_str())));
    EXPECT_EQ(FileInfo(info.Get(), file, 20).Text(), L"HA");
    EXPECT_EQ(Shown(FileInfo(info.Get(), file, 21)), L"Empty");
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Shown(FileInfo(info.Get(), file, 21)), L"True");
    CloseHandle(held);
    EXPECT_EQ(Shown(FileInfo(info.Get(), file, 21)), L"Empty");
    EXPECT_TRUE(DeleteFileW(file.c_str())) << "asking does not keep the file open";
}

TEST(FileInfoErrors, AMatchingWildcardExistsButItsSizeRaisesAnError) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring pattern = hosttest::TempFolder() + L"\\*.log";
    MakeFile(pattern.substr(0, pattern.size() - 5) + L"a.log", 1);
    EXPECT_EQ(Shown(FileInfo(info.Get(), pattern, 0)), L"True");
    CallResult size = FileInfo(info.Get(), pattern, 16);
    EXPECT_EQ(size.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(size.exception.scode, static_cast<SCODE>(0x800A0034));  // 52 Bad file name or number
    EXPECT_EQ(DateOf(FileInfo(info.Get(), pattern, 12)), 0.0);
}
