// zanSysInfo under Wine: the answers against what the platform says, and the locale
// answers in the German and English runs of the test script.
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

TEST(FileInfoSystem, VersionNamesAndFlagsMatchThePlatform) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_EQ(SysInfo(info.Get(), 3).Number(), static_cast<long>(version.dwMajorVersion));
    EXPECT_EQ(TypeOf(SysInfo(info.Get(), 3)), VT_I4);
    EXPECT_EQ(SysInfo(info.Get(), 4).Number(), static_cast<long>(version.dwMinorVersion));
    EXPECT_EQ(SysInfo(info.Get(), 5).Number(), static_cast<long>(version.dwBuildNumber));
    EXPECT_EQ(SysInfo(info.Get(), 6).Text(), std::wstring(version.szCSDVersion));
    EXPECT_TRUE(IsTrue(SysInfo(info.Get(), 2)));

    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(IsTrue(SysInfo(info.Get(), 1)), !wow64);
    EXPECT_EQ(IsFalse(SysInfo(info.Get(), 1)), wow64 != FALSE);
    EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4) << "the x86 tests run under WOW64";

    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &size);
    EXPECT_EQ(SysInfo(info.Get(), 10).Text(), std::wstring(computer));
    wchar_t user[UNLEN + 1] = {};
    size = UNLEN + 1;
    GetUserNameW(user, &size);
    CallResult userName = SysInfo(info.Get(), 11);
    EXPECT_EQ(userName.Text(), std::wstring(user));
    EXPECT_EQ(SysStringLen(V_BSTR(&userName.value)), wcslen(user)) << "no closing NUL in the answer";

    EXPECT_EQ(SysInfo(info.Get(), 7).Number(), GetSystemMetrics(SM_CLEANBOOT));
    EXPECT_EQ(IsTrue(SysInfo(info.Get(), 9)), (GetSystemMetrics(SM_NETWORK) & 1) != 0);
    EXPECT_EQ(TypeOf(SysInfo(info.Get(), 8)), VT_BOOL);
    EXPECT_EQ(TypeOf(SysInfo(info.Get(), 12)), VT_BOOL);
}

TEST(FileInfoSystem, ProcessorTypeAndUnknownValuesAreEmpty) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    for (long type : {0L, 13L, 29L, 35L, -1L, 1000L}) EXPECT_TRUE(IsEmpty(SysInfo(info.Get(), type))) << type;
}

TEST(FileInfoSystem, CurrencyAndListAnswersFollowTheSystemLocale) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const LCID system = GetSystemDefaultLCID();
    EXPECT_EQ(SysInfo(info.Get(), 31).Text(), PlatformLocaleText(system, LOCALE_SCURRENCY));
    EXPECT_EQ(SysInfo(info.Get(), 33).Text(), PlatformLocaleText(system, LOCALE_SMONDECIMALSEP));
    EXPECT_EQ(SysInfo(info.Get(), 34).Text(), PlatformLocaleText(system, LOCALE_SLIST));
}

// The test script runs this group with LANG=de_DE.UTF-8 and with LANG=en_US.UTF-8 and tells
// which through ZANKIT_TEST_LOCALE.
TEST(FileInfoLocale, DecimalSeparatorShortDateAndSizesFollowTheUserLocale) {
    const std::wstring expected = EnvironmentText(L"ZANKIT_TEST_LOCALE");
    if (expected.empty()) GTEST_SKIP() << "run by the test script with ZANKIT_TEST_LOCALE=de or en";
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring folder = hosttest::TempFolder();
    const std::wstring file = folder + L"\\one-and-a-half.bin";
    MakeFile(file, 1572864);
    if (expected == L"de") {
        ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), LANG_GERMAN);
        EXPECT_EQ(SysInfo(info.Get(), 30).Text(), L",");
        EXPECT_EQ(FileInfo(info.Get(), file, 18).Text(), L"1,50MB");
        EXPECT_EQ(FileInfo(info.Get(), file, 17).Text(), L"1536,5 KB");
    } else {
        ASSERT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())), LANG_ENGLISH);
        EXPECT_EQ(SysInfo(info.Get(), 30).Text(), L".");
        EXPECT_EQ(FileInfo(info.Get(), file, 18).Text(), L"1.50MB");
        EXPECT_EQ(FileInfo(info.Get(), file, 17).Text(), L"1536.5 KB");
    }
    // The locale's own pattern (four-digit years already), in lower case.
    std::wstring pattern = PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE);
    ASSERT_NE(pattern.find(L"yyyy"), std::wstring::npos) << pattern;
    CharLowerW(pattern.data());
    EXPECT_EQ(SysInfo(info.Get(), 32).Text(), pattern);
    {
        // A user who chose the classic German pattern with two-digit years.
        UserLocaleSetting shortDate(LOCALE_SSHORTDATE, L"dd.MM.yy");
        EXPECT_EQ(SysInfo(info.Get(), 32).Text(), L"dd.mm.yyyy");
    }
}
