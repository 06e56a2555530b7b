// zanDriveInfo and CDROMpresent under Wine: drive C:, the CD-ROM drive and the drive with
// a missing target that the test script configures in the prefix, and a missing letter.
#include <windows.h>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

namespace {

// The test script maps a folder as this drive and marks it as CD-ROM.
std::wstring CdRomDrive() { return EnvironmentText(L"ZANKIT_TEST_CDROM_DRIVE"); }

std::wstring MissingLetter() {
    DWORD present = GetLogicalDrives();
    for (int n = 25; n >= 3; --n) {
        if (!(present & (1u << n))) return std::wstring(1, static_cast<wchar_t>(L'A' + n));
    }
    return L"";
}

}  // namespace

TEST(FileInfoDrives, DriveCAnswersWhatThePlatformSays) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_TRUE(IsTrue(DriveInfo(info.Get(), L"C:", 0)));
    EXPECT_TRUE(IsTrue(DriveInfo(info.Get(), L"c", 1)));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:\\windows\\system32", 2).Number(), static_cast<long>(GetDriveTypeW(L"C:\\")));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 3).Text(), L"Lokales Laufwerk");
    EXPECT_EQ(DriveInfo(info.Get(), L"C:\\Windows\\System32", 4).Text(), L"C");
    EXPECT_EQ(DriveInfo(info.Get(), L"c", 5).Text(), L"C:");
    EXPECT_EQ(DriveInfo(info.Get(), L"c", 6).Text(), L"C:\\");

    wchar_t volume[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationW(L"C:\\", volume, MAX_PATH + 1, &serial, nullptr, nullptr, fileSystem, MAX_PATH + 1));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 7).Text(), std::wstring(volume));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 9).Text(), std::wstring(fileSystem));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 20).Text(), std::to_wstring(static_cast<long>(static_cast<INT32>(serial))));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 21).Number(), static_cast<long>(GetLogicalDrives()));
    for (long type : {8L, 14L, 15L, 16L, 17L, 18L, 19L, 22L, 23L, -1L}) {
        EXPECT_TRUE(IsEmpty(DriveInfo(info.Get(), L"C:", type))) << type;
    }
}

TEST(FileInfoDrives, SizesAreTheRealSixtyFourBitSizes) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free));
    CallResult totalBytes = DriveInfo(info.Get(), L"C:", 10);
    ASSERT_EQ(V_VT(&totalBytes.value), VT_R8);
    EXPECT_EQ(V_R8(&totalBytes.value), static_cast<double>(total.QuadPart));
    EXPECT_EQ(DriveInfo(info.Get(), L"C:", 11).Text(), PlatformSizeText(static_cast<std::int64_t>(total.QuadPart)));
    // The free size moves while other programs write; it stays within a hundredth here.
    CallResult freeBytes = DriveInfo(info.Get(), L"C:", 12);
    ASSERT_EQ(V_VT(&freeBytes.value), VT_R8);
    EXPECT_NEAR(V_R8(&freeBytes.value), static_cast<double>(free.QuadPart), static_cast<double>(free.QuadPart) / 100);
    std::wstring freeText = DriveInfo(info.Get(), L"C:", 13).Text();
    const bool large = free.QuadPart >= (1ULL << 30);
    EXPECT_EQ(freeText.substr(freeText.size() - 2), large ? L"GB" : L"MB") << freeText;
    if (total.QuadPart >= (1ULL << 31)) {
        // Drives of 2 GiB or more used to give Empty here.
        EXPECT_EQ(DriveInfo(info.Get(), L"C:", 11).Text().substr(DriveInfo(info.Get(), L"C:", 11).Text().size() - 2), L"GB");
    }
}

TEST(FileInfoDrives, TheCdRomDriveIsFoundAndNamed) {
    const std::wstring drive = CdRomDrive();
    if (drive.empty()) GTEST_SKIP() << "run by the test script, which configures the CD-ROM drive";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult found = hosttest::Call(info.Get(), L"CDROMpresent", DISPATCH_METHOD, {});
    EXPECT_EQ(found.Text(), drive);
    EXPECT_TRUE(IsTrue(DriveInfo(info.Get(), drive, 0)));
    EXPECT_EQ(DriveInfo(info.Get(), drive, 2).Number(), 5);
    EXPECT_EQ(DriveInfo(info.Get(), drive, 3).Text(), L"CD-ROM");
    EXPECT_EQ(DriveInfo(info.Get(), drive.substr(0, 1), 6).Text(), drive + L"\\");
    EXPECT_TRUE(DriveInfo(info.Get(), drive, 21).Number() & (1 << (drive[0] - L'A')));
}

TEST(FileInfoDrives, AMissingLetterIsFalseForExistsAndEmptyForTheRest) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring letter = MissingLetter();
    ASSERT_FALSE(letter.empty());
    EXPECT_TRUE(IsFalse(DriveInfo(info.Get(), letter, 0)));
    for (long type = 1; type <= 21; ++type) EXPECT_TRUE(IsEmpty(DriveInfo(info.Get(), letter, type))) << type;
    // A path without a drive letter has no drive either.
    EXPECT_TRUE(IsFalse(DriveInfo(info.Get(), L"\\\\server\\share", 0)));
}

TEST(FileInfoDrives, ADriveWhoseTargetIsGoneExistsButIsNotReady) {
    const std::wstring drive = EnvironmentText(L"ZANKIT_TEST_DANGLING_DRIVE");
    if (drive.empty()) GTEST_SKIP() << "run by the test script, which configures the drive";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_TRUE(IsTrue(DriveInfo(info.Get(), drive, 0)));
    EXPECT_TRUE(IsFalse(DriveInfo(info.Get(), drive, 1)));
    EXPECT_EQ(DriveInfo(info.Get(), drive, 4).Text(), drive.substr(0, 1));
    for (long type : {5L, 6L, 7L, 10L, 11L, 20L}) EXPECT_TRUE(IsEmpty(DriveInfo(info.Get(), drive, type))) << type;
}

TEST(FileInfoDrives, AnEmptySpecificationAsksForTheDriveOfTheCurrentFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(DriveInfo(info.Get(), L"", 5).Text(), std::wstring(current, 2));
}
