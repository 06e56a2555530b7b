// zanDriveInfo and CDROMpresent under Wine: drive C:, the CD-ROM drive and the drive
// without a target that the test script configures, and a letter that is not there.
#include <windows.h>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

TEST(FileInfoDrives, DriveCAnswersWhatThePlatformSaysWithRealSizes) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_EQ(Shown(DriveInfo(info.Get(), L"c", 1)), L"True");
    EXPECT_EQ(DriveInfo(info.Get(), L"C:\\windows\\system32", 3).Text(), L"Lokales Laufwerk");
    EXPECT_EQ(DriveInfo(info.Get(), L"C:\\Windows\\System32", 4).Text(), L"C");
    EXPECT_EQ(DriveInfo(info.Get(), L"c", 6).Text(), L"C:\\");
    wchar_t volume[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    ASSERT_TRUE(
        GetVolumeInformationW(L"C:\\", volume, MAX_PATH + 1, &serial, nullptr, nullptr, fileSystem, MAX_PATH + 1));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 7).Text(), volume);
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 9).Text(), fileSystem);
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 20).Text(), std::to_wstring(static_cast<INT32>(serial)));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 21).Number(), static_cast<long>(GetLogicalDrives()));
    for (long type : {8L, 15L, 16L, 18L, 19L, 22L}) EXPECT_EQ(Shown(DriveInfo(info.Get(), L"C:", type)), L"Empty");

    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free));
    EXPECT_EQ(DoubleOf(DriveInfo(info.Get(), L"C:", 10)), static_cast<double>(total.QuadPart));
    // 2 GiB and more used to give Empty; now the size text of the real size.
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 11).Text(), PlatformSizeText(static_cast<std::int64_t>(total.QuadPart)));
    // The free size moves while other programs write; it stays within a hundredth here.
    EXPECT_NEAR(DoubleOf(DriveInfo(info.Get(), L"C:", 12)), static_cast<double>(free.QuadPart),
                static_cast<double>(free.QuadPart) / 100);
}

TEST(FileInfoDrives, TheConfiguredCdRomDriveAndADriveWithoutTarget) {
    const std::wstring cdrom = EnvironmentText(L"ZANKIT_TEST_CDROM_DRIVE");
    const std::wstring dangling = EnvironmentText(L"ZANKIT_TEST_DANGLING_DRIVE");
    if (cdrom.empty() || dangling.empty()) GTEST_SKIP() << "run by the test script, which configures the drives";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_EQ(hosttest::Call(info.Get(), L"CDROMpresent", DISPATCH_METHOD, {}).Text(), cdrom);
    EXPECT_EQ(DriveInfo(info.Get(), cdrom, 2).Number(), 5);
    EXPECT_EQ(DriveInfo(info.Get(), cdrom.substr(0, 1), 3).Text(), L"CD-ROM");
    // Listed by the system but never ready: answers 0 to 4, Empty from 5 on.
    EXPECT_EQ(Shown(DriveInfo(info.Get(), dangling, 0)), L"True");
    EXPECT_EQ(Shown(DriveInfo(info.Get(), dangling, 1)), L"False");
    EXPECT_EQ(DriveInfo(info.Get(), dangling, 4).Text(), dangling.substr(0, 1));
    for (long type : {5L, 7L, 10L, 11L, 20L}) EXPECT_EQ(Shown(DriveInfo(info.Get(), dangling, type)), L"Empty") << type;
}

TEST(FileInfoDrives, AMissingLetterIsFalseThenEmpty) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    wchar_t c = L'Y';
    while (c > L'C' && (GetLogicalDrives() & (1u << (c - L'A')))) --c;
    ASSERT_GT(c, L'C');
    const std::wstring letter(1, c);
    EXPECT_EQ(Shown(DriveInfo(info.Get(), letter, 0)), L"False");
    for (long type = 1; type <= 21; ++type) EXPECT_EQ(Shown(DriveInfo(info.Get(), letter, type)), L"Empty") << type;
    EXPECT_EQ(Shown(DriveInfo(info.Get(), L"\\\\server\\share", 0)), L"False");
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(DriveInfo(info.Get(), L"", 5).Text(), std::wstring(current, 2));
}
