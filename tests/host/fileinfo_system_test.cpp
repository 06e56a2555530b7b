// zanSysInfo under Wine: answers against what the platform says, and the locale answers
// in the German and English runs of the test script.
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
