// WinHttpWrapper called as hosts call it. The WinHttpPeer tests need the HTTP(S) peer that
// tests/wine/run_host_tests.sh starts on loopback (its ports arrive in ZANKIT_*_PORT).
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

// A VARIANT holding a byte array, as VB holds a Byte() variable, and the bytes of one.
Arg ByteArray(const std::string& bytes) {
    Arg arg;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    memcpy(array->pvData, bytes.data(), bytes.size());
    V_VT(&arg.value) = VT_ARRAY | VT_UI1;
    V_ARRAY(&arg.value) = array;
    return arg;
}

std::string BytesOf(const VARIANT& value) {
    if (V_VT(&value) != (VT_ARRAY | VT_UI1)) return "not a byte array";
    return std::string(static_cast<char*>(V_ARRAY(&value)->pvData), V_ARRAY(&value)->rgsabound[0].cElements);
}

std::wstring PeerUrl(const char* portVariable, const wchar_t* scheme, const std::wstring& path) {
    const char* port = std::getenv(portVariable);  // no peer, no URL
    return port ? scheme + std::wstring(L"://127.0.0.1:") + std::wstring(port, port + strlen(port)) + path : L"";
}
std::wstring Url(const std::wstring& path) { return PeerUrl("ZANKIT_HTTP_PORT", L"http", path); }

// OpenRequest(method, url, False), called late bound the way a script calls it.
CallResult Open(IDispatch* http, const std::wstring& method, const std::wstring& url) {
    return Call(http, L"OpenRequest", DISPATCH_METHOD, {Arg::Text(method), Arg::Text(url), Arg::Bool(false)});
}

// Stands in for the system HTTP request object, registered for this process only while it
// lives: the real object cannot be made to fail its creation or its SetTimeouts on demand.
class StandInFactory final : public IClassFactory {
public:
    StandInFactory(bool noObject, bool noTimeouts) : failCreation(noObject), failTimeouts(noTimeouts) {
        CLSID clsid{};
        CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid);
        registered = CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
    ~StandInFactory() { CoRevokeClassObject(cookie); }
    const bool failCreation, failTimeouts;
    DWORD cookie = 0;
    HRESULT registered;
    std::vector<std::wstring> timeouts;  // "type:value" of each SetTimeouts argument

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? static_cast<IClassFactory*>(this)
                                                                                   : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
        *out = nullptr;
        if (failCreation) return E_OUTOFMEMORY;
        ComPtr<IDispatch> request = TestDispatch::Make({L"SetTimeouts"}, [this](auto&, const Args& args, VARIANT*) {
            for (VARIANT* arg : args)
                timeouts.push_back(std::to_wstring(V_VT(arg)) + L":" + std::to_wstring(LongOf(arg)));
            if (failTimeouts) throw Raised{static_cast<HRESULT>(0x800A0005), L"time-outs refused"};
        });
        return request->QueryInterface(iid, out);
    }
};

}  // namespace

// Creation sets four 30-second time-outs (16-bit integers); a failure to create the request
// object or to set them is kept in ErrorDescription and reported to the logger.
TEST(WinHttpWrapper, CreationSetsTimeoutsAndKeepsAndReportsItsFailures) {
    const struct {
        const char* name;
        bool failCreation, failTimeouts;
        int ready;
        const wchar_t *description, *report;
    } cases[] = {
        {"all well", false, false, 1, L"", nullptr},
        {"no request object", true, false, 0, L"ActiveX component can't create object",
         L"ZanKit|WinHttpWrapper.Class_Initialize#0\t429:(ActiveX component can't create object)\t"},
        {"time-outs refused", false, true, 1, L"time-outs refused",
         L"TestDispatch|WinHttpWrapper.Class_Initialize#0\t5:(time-outs refused)\t"},
    };
    RegisterTestLogger(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StandInFactory factory(c.failCreation, c.failTimeouts);
        ASSERT_EQ(factory.registered, S_OK);
        TakeLoggerRecords();
        ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
        ASSERT_TRUE(http);
        EXPECT_EQ(Get(http.Get(), L"IsWinHttpReady").Flag(), c.ready);
        EXPECT_EQ(Get(http.Get(), L"ErrorDescription").Text(), c.description);
        std::vector<std::wstring> records = TakeLoggerRecords();
        ASSERT_EQ(records.size(), c.report ? 1u : 0u);
        for (const std::wstring& record : records) EXPECT_NE(record.find(c.report), std::wstring::npos) << record;
        EXPECT_EQ(factory.timeouts, std::vector<std::wstring>(c.failCreation ? 0 : 4, L"2:30000"));
    }
    StandInFactory factory(false, false);
    ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
    factory.timeouts.clear();
    Call(http.Get(), L"SetTimeouts", DISPATCH_METHOD,
         {Arg::Long(1000), Arg::Long(2000), Arg::Long(3000), Arg::Long(40000)});
    EXPECT_EQ(factory.timeouts, (std::vector<std::wstring>{L"3:1000", L"3:2000", L"3:3000", L"3:40000"}));
    Call(http.Get(), L"Terminate", DISPATCH_METHOD, {});
    EXPECT_EQ(Get(http.Get(), L"IsWinHttpReady").Flag(), 0) << "Terminate releases the request object";
}

// Every row is answered by the peer's echo: the body, the method and each request header back.
TEST(WinHttpPeer, RequestsReachThePeerWithTheirHeadersAndBodies) {
    std::string everyByte(512, '\0');
    for (size_t i = 0; i < everyByte.size(); ++i) everyByte[i] = static_cast<char>(i);
    const struct {
        const char* name;
        const wchar_t* method;
        Arg body;
        std::string expected;
        std::wstring url;
        long status;
    } cases[] = {
        {"POST a number", L"POST", Arg::Long(1234), "1234", Url(L"/echo"), 200},
        {"POST Empty", L"POST", Arg(), "", Url(L"/echo"), 200},
        {"PUT text", L"PUT", Arg::Text(L"replace"), "replace", Url(L"/echo?status=404"), 404},
        {"POST bytes", L"POST", ByteArray(everyByte), everyByte, Url(L"/echo"), 200},
        // The test authority is trusted in the test prefix only; its certificate is for 127.0.0.1.
        {"HTTPS", L"POST", Arg::Text(L"over TLS"), "over TLS", PeerUrl("ZANKIT_HTTPS_PORT", L"https", L"/echo"), 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IDispatch> wrapper = Create(L"ZanKit.WinHttpWrapper");
        IDispatch* http = wrapper.Get();
        ASSERT_EQ(Open(http, c.method, c.url).hr, S_OK);
        Call(http, L"SetRequestHeader", DISPATCH_METHOD, {Arg::Text(L"X-ZanKit-Test"), Arg::Text(L"Wert 1")});
        CallResult sent = Call(http, L"Send", DISPATCH_METHOD, {c.body});
        ASSERT_EQ(sent.hr, S_OK) << sent.Description();
        EXPECT_EQ(Get(http, L"Status").Number(), c.status);
        const Arg name = Arg::Text(L"X-Echo-X-ZanKit-Test");
        EXPECT_EQ(Call(http, L"GetResponseHeader", DISPATCH_METHOD, {name}).Text(), L"Wert 1");
        std::wstring all = Call(http, L"GetAllResponseHeaders", DISPATCH_METHOD, {}).Text();
        EXPECT_NE(all.find(L"X-Echo-Method: " + std::wstring(c.method) + L"\r\n"), std::wstring::npos) << all;
        EXPECT_EQ(BytesOf(Get(http, L"ResponseBody").value), c.expected);
        if (c.expected != everyByte)
            EXPECT_EQ(Get(http, L"ResponseText").Text(), std::wstring(c.expected.begin(), c.expected.end()));
    }
}

// The request object's failures reach the caller as Win32 errors with a text: at OpenRequest
// for a bad URL, at Send for a refused connection and for a certificate nobody trusts.
TEST(WinHttpPeer, FailuresOfTheRequestObjectReachTheCaller) {
    const struct {
        std::wstring url;
        bool atOpen;
        HRESULT exact;        // or any Win32 error
        const wchar_t* text;  // or any
    } cases[] = {
        {L"not a url", true, 0, nullptr},
        {PeerUrl("ZANKIT_HTTP_CLOSED_PORT", L"http", L"/"), false, static_cast<HRESULT>(0x80072EFD),
         L"A connection with the server could not be established"},
        {PeerUrl("ZANKIT_HTTPS_UNTRUSTED_PORT", L"https", L"/echo"), false, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.url));
        ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
        CallResult open = Open(http.Get(), L"GET", c.url);
        ASSERT_EQ(open.hr, c.atOpen ? DISP_E_EXCEPTION : S_OK);
        CallResult failed = c.atOpen ? std::move(open) : Call(http.Get(), L"Send", DISPATCH_METHOD, {Arg()});
        EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(HRESULT_FACILITY(failed.exception.scode), FACILITY_WIN32);
        EXPECT_TRUE(!c.exact || failed.exception.scode == c.exact) << std::hex << failed.exception.scode;
        EXPECT_FALSE(failed.Description().empty());
        EXPECT_TRUE(!c.text || failed.Description() == c.text) << failed.Description();
    }
}
