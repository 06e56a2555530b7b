// clsSendMail's settings store in the registry under Wine. The setters' rules are tested
// natively, text and by-reference host names cross COM in the send and frame tests, and the
// host utilities answer to tests/scripts/mail.vbs.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

const wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Postwerk";

std::wstring StoredSetting(const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof(buffer);
    const LONG status = RegGetValueW(HKEY_CURRENT_USER, (std::wstring(kSettingsKey) + L"\\Settings").c_str(), name,
                                     RRF_RT_REG_SZ, nullptr, buffer, &size);
    return status == ERROR_SUCCESS ? buffer : L"<no REG_SZ value>";
}

}  // namespace

TEST(MailSurface, SettingsPersistInTheVbSettingsStoreAndCanBeSwitchedOff) {
    const wchar_t kName[] = L"\u0418\u0432\u0430\u043D \u65E5\u672C \U0001F600";
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    {
        ComPtr<IDispatch> first = Create(L"ZanKit.clsSendMail");
        Put(first.Get(), L"PersistentSettings", Arg::Bool(true));
        Put(first.Get(), L"SMTPPort", Arg::Long(587));
        Put(first.Get(), L"from", Arg::Text(L"me@example.com"));
        Put(first.Get(), L"FromDisplayName", Arg::Text(kName));
    }
    EXPECT_EQ(
        StoredSetting(L"PersistentSettings") + L" " + StoredSetting(L"RemotePort") + L" " + StoredSetting(L"From"),
        L"-1 587 me@example.com");
    {
        ComPtr<IDispatch> second = Create(L"ZanKit.clsSendMail");
        EXPECT_EQ(Get(second.Get(), L"SMTPPort").Number(), 587);
        EXPECT_EQ(Get(second.Get(), L"from").Text(), L"me@example.com");
        EXPECT_EQ(Get(second.Get(), L"FromDisplayName").Text(), kName) << "every character is kept";
        Put(second.Get(), L"PersistentSettings", Arg::Bool(false));
    }
    EXPECT_EQ(StoredSetting(L"PersistentSettings"), L"0");
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
}

// DecodeBase64String answers bytes: each decoded byte is one character of the ANSI code page,
// also when the bytes happen to be UTF-8.
TEST(MailSurface, DecodeBase64StringAnswersBytes) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    wchar_t expected[3] = {};
    MultiByteToWideChar(CP_ACP, 0, "\xC3\xA4", 2, expected, 2);
    EXPECT_EQ(Call(mail.Get(), L"DecodeBase64String", DISPATCH_METHOD, {Arg::Text(L"w6Q=")}).Text(), expected);
}
