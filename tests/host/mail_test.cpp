// clsSendMail's properties through COM under Wine: what crosses the dispatch layer, the
// settings store in the registry and write-back of by-reference arguments. The setters' rules
// are tested natively; the host utilities answer to tests/scripts/mail.vbs.
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

// What crosses the dispatch layer: text outside ASCII through the ANSI code page, and a
// by-reference host name cleaned in the caller's own variable.
TEST(MailSurface, SettersAnswerThroughCom) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    Put(mail.Get(), L"subject", Arg::Text(L"Grüße"));
    EXPECT_EQ(Get(mail.Get(), L"Subject").Text(), L"Grüße");
    Put(mail.Get(), L"SMTPHostValidation", Arg::Long(1));
    VARIANT variable;
    V_VT(&variable) = VT_BSTR;
    V_BSTR(&variable) = SysAllocStringLen(L"mail.exa\0mple.com", 17);
    EXPECT_EQ(Put(mail.Get(), L"SMTPHost", Arg::RefTo(&variable)).hr, S_OK);
    EXPECT_EQ(FromBstr(V_BSTR(&variable)), L"mail.example.com");
    EXPECT_EQ(Get(mail.Get(), L"SMTPHost").Text(), L"mail.example.com");
    VariantClear(&variable);
}

TEST(MailSurface, SettingsPersistInTheVbSettingsStoreAndCanBeSwitchedOff) {
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    {
        ComPtr<IDispatch> first = Create(L"ZanKit.clsSendMail");
        Put(first.Get(), L"PersistentSettings", Arg::Bool(true));
        Put(first.Get(), L"SMTPPort", Arg::Long(587));
        Put(first.Get(), L"from", Arg::Text(L"me@example.com"));
    }
    EXPECT_EQ(
        StoredSetting(L"PersistentSettings") + L" " + StoredSetting(L"RemotePort") + L" " + StoredSetting(L"From"),
        L"-1 587 me@example.com");
    {
        ComPtr<IDispatch> second = Create(L"ZanKit.clsSendMail");
        EXPECT_EQ(Get(second.Get(), L"SMTPPort").Number(), 587);
        EXPECT_EQ(Get(second.Get(), L"from").Text(), L"me@example.com");
        Put(second.Get(), L"PersistentSettings", Arg::Bool(false));
    }
    EXPECT_EQ(StoredSetting(L"PersistentSettings"), L"0");
    EXPECT_EQ(Get(Create(L"ZanKit.clsSendMail").Get(), L"SMTPPort").Number(), 25);
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
}
