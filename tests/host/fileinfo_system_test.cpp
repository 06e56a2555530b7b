// zanSysInfo, zanDriveInfo and CDROMpresent under Wine: answers against what the platform says,
// the locale answers in the German and English runs of the test script, drive C:, the CD-ROM
// drive and the drive without a target that the test script configures, and a missing letter.
#include <windows.h>
#include <lmcons.h>

#include <gtest/gtest.h>

#include "fileinfo_support.h"

using namespace fileinfotest;
using hosttest::Create;

namespace {

// Sets one item of the user's locale for the time of a test and puts the old value back.
class UserLocaleSetting {
public:
    UserLocaleSetting(LCTYPE item, const std::wstring& value)
        : item_(item), old_(PlatformLocaleText(LOCALE_USER_DEFAULT, item)) {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, item_, value.c_str());
    }
    ~UserLocaleSetting() { SetLocaleInfoW(LOCALE_USER_DEFAULT, item_, old_.c_str()); }

private:
    LCTYPE item_;
    std::wstring old_;
};

}  // namespace

TEST(FileInfoSystem, AnswersMatchThePlatform) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_EQ(TypeOf(SysInfo(info.Get(), 3)), VT_I4);
    EXPECT_EQ(SysInfo(info.Get(), 3).Number(), static_cast<long>(version.dwMajorVersion));
    EXPECT_EQ(SysInfo(info.Get(), 5).Number(), static_cast<long>(version.dwBuildNumber));
    EXPECT_EQ(SysInfo(info.Get(), 6).Text(), version.szCSDVersion);
    // 1 is False exactly for a 32-bit process on 64-bit Windows (the x86 run here).
    EXPECT_EQ(Shown(SysInfo(info.Get(), 1)), sizeof(void*) == 8 ? L"True" : L"False");
    wchar_t user[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    GetUserNameW(user, &size);
    CallResult userName = SysInfo(info.Get(), 11);
    EXPECT_EQ(userName.Text(), user);
    EXPECT_EQ(SysStringLen(V_BSTR(&userName.value)), wcslen(user)) << "no closing NUL in the answer";
    const LCID system = GetSystemDefaultLCID();
    EXPECT_EQ(SysInfo(info.Get(), 31).Text(), PlatformLocaleText(system, LOCALE_SCURRENCY));
    EXPECT_EQ(SysInfo(info.Get(), 34).Text(), PlatformLocaleText(system, LOCALE_SLIST));
    for (long type : {0L, 13L, 29L, 35L, -1L}) EXPECT_EQ(Shown(SysInfo(info.Get(), type)), L"Empty") << type;
}

// The test script runs this group with LANG=de_DE.UTF-8 and with LANG=en_US.UTF-8 and tells
// which through ZANKIT_TEST_LOCALE.
TEST(FileInfoLocale, DecimalSeparatorShortDateAndSizesFollowTheUserLocale) {
    const std::wstring expected = EnvironmentText(L"ZANKIT_TEST_LOCALE");
    if (expected.empty()) GTEST_SKIP() << "run by the test script with ZANKIT_TEST_LOCALE=de or en";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring file = hosttest::TempFolder() + L"\\one-and-a-half.bin";
    MakeFile(file, 1572864);
    const bool german = expected == L"de";
    ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), german ? LANG_GERMAN : LANG_ENGLISH);
    EXPECT_EQ(SysInfo(info.Get(), 30).Text(), german ? L"," : L".");
    EXPECT_EQ(FileInfo(info.Get(), file, 18).Text(), german ? L"1,50MB" : L"1.50MB");
    EXPECT_EQ(FileInfo(info.Get(), file, 17).Text(), german ? L"1536,5 KB" : L"1536.5 KB");
    // The locale's own pattern (Wine's already has four-digit years), in lower case.
    std::wstring pattern = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE);
    CharLowerW(pattern.data());
    EXPECT_EQ(SysInfo(info.Get(), 32).Text(), pattern);
    UserLocaleSetting shortDate(LOCALE_SSHORTDATE, L"dd.MM.yy");  // a user's classic choice
    EXPECT_EQ(SysInfo(info.Get(), 32).Text(), L"dd.mm.yyyy");
}

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
