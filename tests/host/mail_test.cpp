// clsSendMail through COM under Wine: defaults, setters with their pending messages, the
// settings store in the registry, write-back of by-reference arguments, host utilities, and
// the first real event (SendFailed of a refused Send) at a C++ sink.
#include <windows.h>
#include <ocidl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "event_sink.h"
#include "frame/zankit_interfaces.h"
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

// A mail object with a sink advised on its events.
struct AdvisedMail {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<MailEventSink> sink = ComPtr<MailEventSink>::Adopt(new MailEventSink());
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    AdvisedMail() {
        ComPtr<IConnectionPointContainer> container;
        if (mail && SUCCEEDED(mail->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
            SUCCEEDED(container->FindConnectionPoint(DIID___clsSendMail, point.Put()))) {
            point->Advise(sink.Get(), &cookie);
        }
    }
    ~AdvisedMail() {
        if (point && cookie) point->Unadvise(cookie);
    }
};

}  // namespace

class MailSurface : public testing::Test {
protected:
    void SetUp() override { ForgetStoredSettings(); }
    void TearDown() override { ForgetStoredSettings(); }
};

TEST_F(MailSurface, SettersNormaliseTheirValues) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    Put(mail.Get(), L"Delimiter", Arg::Text(L",;"));
    EXPECT_EQ(Get(mail.Get(), L"Delimiter").Text(), L",");
    Put(mail.Get(), L"Recipient", Arg::Text(L" a@example.com , b@example.de "));
    EXPECT_EQ(Get(mail.Get(), L"Recipient").Text(), L"a@example.com,b@example.de");
    Put(mail.Get(), L"ContentBase", Arg::Text(L"www.example.com\\img"));
    EXPECT_EQ(Get(mail.Get(), L"ContentBase").Text(), L"http://www.example.com/img/");
    Put(mail.Get(), L"ConnectTimeout", Arg::Long(121));
    EXPECT_EQ(Get(mail.Get(), L"ConnectTimeout").Number(), 40);
    Put(mail.Get(), L"MaxRecipients", Arg::Long(-5));
    EXPECT_EQ(Get(mail.Get(), L"MaxRecipients").Number(), 5);
    Put(mail.Get(), L"from", Arg::Text(L"  me@example.com  "));
    EXPECT_EQ(Get(mail.Get(), L"from").Text(), L"me@example.com");
    // Text outside ASCII survives the trip through the ANSI code page.
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

TEST_F(MailSurface, ARefusedSendRaisesSendFailedWithEveryPendingMessage) {
    AdvisedMail advised;
    ASSERT_TRUE(advised.cookie);
    Put(advised.mail.Get(), L"Recipient", Arg::Text(L"nobody"));
    Put(advised.mail.Get(), L"SMTPPort", Arg::Long(0));
    CallResult sent = Call(advised.mail.Get(), L"Send", DISPATCH_METHOD, {});
    EXPECT_EQ(sent.hr, S_OK);
    ASSERT_EQ(advised.sink->events.size(), 1u);
    EXPECT_EQ(advised.sink->events[0].id, 2);
    EXPECT_EQ(advised.sink->events[0].text,
              L"Missing or Invalid Recipient E-mail Address\r\nInvalid Remote Port\r\n"
              L"Missing or Invalid Sender E-mail Address\r\n");

    // The list was emptied: the next refusal names only what is wrong now.
    Put(advised.mail.Get(), L"SMTPPort", Arg::Long(25));
    Put(advised.mail.Get(), L"Recipient", Arg::Text(L""));
    Put(advised.mail.Get(), L"from", Arg::Text(L"me@example.com"));
    Call(advised.mail.Get(), L"Send", DISPATCH_METHOD, {});
    ASSERT_EQ(advised.sink->events.size(), 2u);
    EXPECT_EQ(advised.sink->events[1].text, L"No Recipient E-mail Address Specified\r\n");
}

TEST_F(MailSurface, HostUtilitiesAnswerForThisMachine) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    VARIANT host;
    VariantInit(&host);
    V_VT(&host) = VT_BSTR;
    V_BSTR(&host) = SysAllocString(L"  127.0.0.1 ");
    CallResult address = Call(mail.Get(), L"GetIPAddress", DISPATCH_METHOD, {Arg::RefTo(&host)});
    EXPECT_EQ(address.Text(), L"127.0.0.1");
    EXPECT_EQ(FromBstr(V_BSTR(&host)), std::wstring(L"127.0.0.1\0", 10));
    VariantClear(&host);

    EXPECT_FALSE(Call(mail.Get(), L"GetIPHost", DISPATCH_METHOD, {}).Text().empty());

    VARIANT target, time, size;
    for (VARIANT* v : {&target, &time, &size}) VariantInit(v);
    V_VT(&target) = VT_BSTR;
    V_BSTR(&target) = SysAllocString(L"127.0.0.1");
    CallResult ping =
        Call(mail.Get(), L"Ping", DISPATCH_METHOD, {Arg::RefTo(&target), Arg::RefTo(&time), Arg::RefTo(&size)});
    EXPECT_EQ(ping.hr, S_OK);
    EXPECT_EQ(ping.Flag(), 1);
    EXPECT_EQ(FromBstr(V_BSTR(&target)), L"127.0.0.1");
    EXPECT_EQ(V_VT(&size), VT_BSTR);
    EXPECT_EQ(FromBstr(V_BSTR(&size)), L"32 bytes");
    for (VARIANT* v : {&target, &time, &size}) VariantClear(v);
}

TEST_F(MailSurface, EncodingsAndChecksAnswerThroughCom) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    EXPECT_EQ(Call(mail.Get(), L"DecodeBase64String", DISPATCH_METHOD, {Arg::Text(L"5Pb8")}).Text(), L"äöü");
    // Without a second argument the default content type is the binary one.
    EXPECT_EQ(Call(mail.Get(), L"GetContentType", DISPATCH_METHOD, {Arg::Text(L"noextension")}).Text(),
              L"application/octet-stream");
    EXPECT_EQ(Call(mail.Get(), L"GetContentType", DISPATCH_METHOD, {Arg::Text(L"file.zzqq"), Arg::Text(L"text/x-own")})
                  .Text(),
              L"text/x-own");
}
