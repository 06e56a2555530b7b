// clsSendMail's properties through COM under Wine: setters, the settings store in the registry
// and write-back of by-reference arguments. The host utilities answer to tests/scripts/mail.vbs.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

const wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Settings";

void ForgetStoredSettings() { SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Postwerk"); }

std::wstring StoredSetting(const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<no key>";
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return L"<no value>";
    if (type != REG_SZ) return L"<not REG_SZ>";
    return buffer;
}

}  // namespace

class MailSurface : public testing::Test {
protected:
    void SetUp() override { ForgetStoredSettings(); }
    void TearDown() override { ForgetStoredSettings(); }
};

// The setters' rules are tested natively; these rows check what crosses the dispatch layer:
// texts, numbers, a name in another case, text outside ASCII through the ANSI code page.
TEST_F(MailSurface, SettersAnswerThroughCom) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    Put(mail.Get(), L"Delimiter", Arg::Text(L",;"));
    Put(mail.Get(), L"Recipient", Arg::Text(L" a@example.com , b@example.de "));
    EXPECT_EQ(Get(mail.Get(), L"Recipient").Text(), L"a@example.com,b@example.de");
    Put(mail.Get(), L"ConnectTimeout", Arg::Long(121));
    EXPECT_EQ(Get(mail.Get(), L"ConnectTimeout").Number(), 40);
    Put(mail.Get(), L"from", Arg::Text(L"  me@example.com  "));
    EXPECT_EQ(Get(mail.Get(), L"From").Text(), L"me@example.com");
    Put(mail.Get(), L"Subject", Arg::Text(L"Grüße"));
    EXPECT_EQ(Get(mail.Get(), L"Subject").Text(), L"Grüße");
}

TEST_F(MailSurface, HostSettersCleanTheCallersVariable) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    Put(mail.Get(), L"SMTPHostValidation", Arg::Long(1));
    VARIANT variable;
    VariantInit(&variable);
    V_VT(&variable) = VT_BSTR;
    V_BSTR(&variable) = SysAllocStringLen(L"mail.exa\0mple.com", 17);
    EXPECT_EQ(Put(mail.Get(), L"SMTPHost", Arg::RefTo(&variable)).hr, S_OK);
    EXPECT_EQ(FromBstr(V_BSTR(&variable)), L"mail.example.com");
    EXPECT_EQ(Get(mail.Get(), L"SMTPHost").Text(), L"mail.example.com");
    VariantClear(&variable);
}

TEST_F(MailSurface, SettingsPersistInTheVbSettingsStoreAndCanBeSwitchedOff) {
    {
        ComPtr<IDispatch> first = Create(L"ZanKit.clsSendMail");
        Put(first.Get(), L"PersistentSettings", Arg::Bool(true));
        Put(first.Get(), L"SMTPPort", Arg::Long(587));
        Put(first.Get(), L"from", Arg::Text(L"me@example.com"));
    }
    EXPECT_EQ(StoredSetting(L"PersistentSettings"), L"-1");
    EXPECT_EQ(StoredSetting(L"RemotePort"), L"587");
    EXPECT_EQ(StoredSetting(L"From"), L"me@example.com");
    {
        ComPtr<IDispatch> second = Create(L"ZanKit.clsSendMail");
        EXPECT_EQ(Get(second.Get(), L"SMTPPort").Number(), 587);
        EXPECT_EQ(Get(second.Get(), L"from").Text(), L"me@example.com");
        Put(second.Get(), L"PersistentSettings", Arg::Bool(false));
    }
    EXPECT_EQ(StoredSetting(L"PersistentSettings"), L"0");
    ComPtr<IDispatch> third = Create(L"ZanKit.clsSendMail");
    EXPECT_EQ(Get(third.Get(), L"SMTPPort").Number(), 25);
    EXPECT_EQ(Get(third.Get(), L"from").Text(), L"");
}
