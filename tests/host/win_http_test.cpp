// WinHttpWrapper called as hosts call it. The WinHttpPeer tests need the HTTP(S) peer that
// tests/wine/run_host_tests.sh starts on loopback (its ports arrive in ZANKIT_*_PORT).
#include <windows.h>
#include <winhttp.h>

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

std::wstring Env(const char* name) {
    const char* value = std::getenv(name);  // no peer, no value
    return value ? std::wstring(value, value + strlen(value)) : L"";
}
// The echo peer as "localhost": Wine sends a proxy of the same host name the origin's request line.
std::wstring Origin(const std::wstring& path) { return L"http://localhost:" + Env("ZANKIT_HTTP_PORT") + path; }

// Text as a URL query value: its UTF-8 bytes, all but letters and digits as %XX.
std::wstring QueryValue(const std::wstring& text) {
    char bytes[512];
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr) - 1;
    std::wstring encoded;
    for (int i = 0; i < size; ++i) {
        wchar_t hex[4];
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        swprintf(hex, 4, isalnum(byte) ? L"%c" : L"%%%02X", byte);
        encoded += hex;
    }
    return encoded;
}

// The machine's default proxy (what "netsh winhttp set proxy" sets) while it lives, then none.
struct DefaultProxy {
    explicit DefaultProxy(std::wstring proxy) : set(Set(proxy.empty() ? nullptr : proxy.data())) {}
    ~DefaultProxy() { Set(nullptr); }
    static bool Set(wchar_t* proxy) {
        using SetConfiguration = BOOL(WINAPI*)(WINHTTP_PROXY_INFO*);
        static HMODULE winhttp = LoadLibraryW(L"winhttp.dll");  // stays: the request object uses it
        auto setConfiguration = reinterpret_cast<SetConfiguration>(
            reinterpret_cast<void*>(GetProcAddress(winhttp, "WinHttpSetDefaultProxyConfiguration")));
        DWORD accessType = proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
        WINHTTP_PROXY_INFO info{accessType, proxy, nullptr};
        return setConfiguration && setConfiguration(&info);
    }
    const bool set;
};

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
    std::vector<std::wstring> calls;  // "Name type:text ..." of each call

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
        std::vector<std::wstring> names{L"SetTimeouts", L"SetProxy",        L"SetCredentials",
                                        L"Option",      L"WaitForResponse", L"Abort"};
        ComPtr<IDispatch> request = TestDispatch::Make(names, [this](auto& name, const Args& args, VARIANT*) {
            std::wstring call = name;
            for (VARIANT* arg : args)
                call += L" " + std::to_wstring(V_VT(arg)) + L":" + (V_VT(arg) == VT_ERROR ? L"missing" : TextOf(arg));
            calls.push_back(call);
            if (failTimeouts && name == L"SetTimeouts")
                throw Raised{static_cast<HRESULT>(0x800A0005), L"time-outs refused"};
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
        std::wstring timeouts = L"SetTimeouts 2:30000 2:30000 2:30000 2:30000";
        EXPECT_EQ(factory.calls, std::vector<std::wstring>(c.failCreation ? 0 : 1, timeouts));
    }
}

// Members reach the request object with the caller's values: a script's variable as its value,
// missing optional arguments as missing, the default time-out as -1. After Terminate each of
// them raises VB's error 91.
TEST(WinHttpWrapper, MembersPassTheirArgumentsOn) {
    constexpr WORD kCall = DISPATCH_METHOD;
    VARIANT server;
    V_VT(&server) = VT_BSTR;
    V_BSTR(&server) = SysAllocString(L"p:80");
    const struct {
        const wchar_t* member;
        WORD flags;
        std::vector<Arg> args;
        const wchar_t* call;  // the arguments as the request object gets them
    } cases[] = {
        {L"SetTimeouts", kCall, {Arg::Long(1), Arg::Long(2), Arg::Long(3), Arg::Long(4)}, L" 3:1 3:2 3:3 3:4"},
        {L"SetProxy", kCall, {Arg::Long(2), Arg::Text(L"p:80"), Arg::Text(L"<local>")}, L" 3:2 8:p:80 8:<local>"},
        {L"SetProxy", kCall, {Arg::Long(1)}, L" 3:1 10:missing 10:missing"},
        {L"SetProxy", kCall, {Arg::Long(2), Arg::RefTo(&server)}, L" 3:2 8:p:80 10:missing"},
        {L"SetCredentials", kCall, {Arg::Text(L"u"), Arg::Text(L"p\u00E4"), Arg::Long(1)}, L" 8:u 8:p\u00E4 3:1"},
        {L"Option", DISPATCH_PROPERTYPUT, {Arg::Long(2), Arg::Long(1252)}, L" 3:2 3:1252"},
        {L"WaitForResponse", kCall, {}, L" 3:-1"},
        {L"Abort", kCall, {}, L""},
    };
    StandInFactory factory(false, false);
    ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.member));
        factory.calls.clear();
        CallResult result = Call(http.Get(), c.member, c.flags, c.args);
        EXPECT_EQ(result.hr, S_OK) << result.Description();
        EXPECT_EQ(factory.calls, std::vector<std::wstring>{c.member + std::wstring(c.call)});
    }
    Call(http.Get(), L"Terminate", DISPATCH_METHOD, {});
    EXPECT_EQ(Get(http.Get(), L"IsWinHttpReady").Flag(), 0) << "Terminate releases the request object";
    for (const auto& c : cases) {
        CallResult result = Call(http.Get(), c.member, c.flags, c.args);
        EXPECT_EQ(result.exception.scode, static_cast<HRESULT>(0x800A005B)) << testing::PrintToString(c.member);
    }
    VariantClear(&server);
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
        {"POST a Boolean as its text", L"POST", Arg::Bool(true), "True", Url(L"/echo"), 200},
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
        if (c.expected != everyByte) {
            EXPECT_EQ(Get(http, L"ResponseText").Text(), std::wstring(c.expected.begin(), c.expected.end()));
        }
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

// The machine's default proxy asks for Basic proxy credentials. (Wine's request object does not
// use a proxy named by SetProxy: tests/scripts/http.vbs holds the wrapper to what it does.) GET
// only: after a 407 Wine resends a request body from a buffer it has freed.
TEST(WinHttpPeer, DefaultProxyAsksForProxyCredentials) {
    std::wstring credentials = Env("ZANKIT_PROXY_CREDENTIALS");
    std::wstring user = credentials.substr(0, credentials.find(L':'));
    std::wstring password = credentials.substr(credentials.find(L':') + 1);
    const struct {
        const char* name;
        std::wstring password;
        long flags;  // of SetCredentials; -1: not called
        long status;
    } cases[] = {
        {"no credentials", L"", -1, 407},
        {"wrong password", L"wrong", 1, 407},
        {"credentials for the server", password, 0, 407},
        {"proxy credentials", password, 1, 200},
    };
    DefaultProxy proxy(L"127.0.0.1:" + Env("ZANKIT_PROXY_PORT"));
    ASSERT_TRUE(proxy.set && !credentials.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
        ASSERT_EQ(Open(http.Get(), L"GET", Origin(L"/echo")).hr, S_OK);
        std::vector<Arg> login{Arg::Text(user), Arg::Text(c.password), Arg::Long(c.flags)};
        if (c.flags >= 0) {
            ASSERT_EQ(Call(http.Get(), L"SetCredentials", DISPATCH_METHOD, login).hr, S_OK);
        }
        CallResult sent = Call(http.Get(), L"Send", DISPATCH_METHOD, {Arg()});
        ASSERT_EQ(sent.hr, S_OK) << sent.Description();
        EXPECT_EQ(Get(http.Get(), L"Status").Number(), c.status);
        std::wstring headers = Call(http.Get(), L"GetAllResponseHeaders", DISPATCH_METHOD, {}).Text();
        EXPECT_EQ(headers.find(L"Via: 1.1 zankit-proxy") != std::wstring::npos, c.status == 200) << headers;
        EXPECT_EQ(headers.find(L"X-Echo-Proxy-Authorization"), std::wstring::npos) << headers;
    }
}

// WaitForResponse answers False while the peer still waits and True once the response is there
// (also when asked again); Abort ends a pending request at once.
TEST(WinHttpPeer, AsynchronousRequestsAreWaitedForOrAborted) {
    ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
    for (const wchar_t* wait : {L"1500", L"5000"}) {
        std::vector<Arg> open{Arg::Text(L"GET"), Arg::Text(Url(L"/echo?wait=") + wait), Arg::Bool(true)};
        ASSERT_EQ(Call(http.Get(), L"OpenRequest", DISPATCH_METHOD, open).hr, S_OK);
        ASSERT_EQ(Call(http.Get(), L"Send", DISPATCH_METHOD, {Arg()}).hr, S_OK);
        EXPECT_EQ(Call(http.Get(), L"WaitForResponse", DISPATCH_METHOD, {Arg::Long(0)}).Flag(), 0) << "still waiting";
        if (wait[0] == L'5') break;
        EXPECT_EQ(Call(http.Get(), L"WaitForResponse", DISPATCH_METHOD, {Arg::Long(10)}).Flag(), 1);
        EXPECT_EQ(Call(http.Get(), L"WaitForResponse", DISPATCH_METHOD, {}).Flag(), 1) << "asked again";
        EXPECT_EQ(Get(http.Get(), L"Status").Number(), 200);
    }
    EXPECT_EQ(Call(http.Get(), L"Abort", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(HRESULT_FACILITY(Get(http.Get(), L"Status").exception.scode), FACILITY_WIN32)
        << "no response after Abort";
}

// ResponseText reads the body in the charset the response declares (a JSON body without one
// is UTF-8); without a declaration the request object's text stays.
TEST(WinHttpPeer, ResponseTextIsReadInTheDeclaredCharset) {
    const std::wstring json =
        L"{\"ru\":\"\u041F\u0440\u0438\u0432\u0435\u0442\",\"ja\":\"\u65E5\u672C\u8A9E\",\"emoji\":\"\U0001F600\"}";
    const struct {
        const wchar_t* type;
        const wchar_t* codec;
        std::wstring text;
    } cases[] = {
        {L"application/json; charset=utf-8", L"utf-8", json},
        {L"application/json;charset=\"UTF-8\"", L"utf-8", json},
        {L"application/problem+json", L"utf-8", json},
        {L"text/plain; charset=utf-16", L"utf-16", json},
        {L"text/plain; charset=windows-1251", L"cp1251", L"\u0401\u043B\u043A\u0430, \u043C\u0438\u0440"},
        {L"text/html; charset=Shift_JIS", L"shift_jis", L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8"},
        {L"", L"utf-8", L"plain ASCII"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.type));
        ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
        std::wstring url =
            Url(L"/text?type=" + QueryValue(c.type) + L"&enc=" + c.codec + L"&text=" + QueryValue(c.text));
        ASSERT_EQ(Open(http.Get(), L"GET", url).hr, S_OK);
        ASSERT_EQ(Call(http.Get(), L"Send", DISPATCH_METHOD, {Arg()}).hr, S_OK);
        EXPECT_EQ(Get(http.Get(), L"ResponseText").Text(), c.text);
    }
}
