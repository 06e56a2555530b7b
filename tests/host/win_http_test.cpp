// WinHttpWrapper driven as hosts drive it: creation, the forwarding members and the
// members appended after them, against the HTTP(S) peer that tests/peers/run_http_tests.sh
// starts on loopback (its ports arrive in ZANKIT_HTTP_PORT, ZANKIT_HTTPS_PORT,
// ZANKIT_HTTPS_OTHER_PORT, ZANKIT_HTTPS_UNTRUSTED_PORT and ZANKIT_HTTP_CLOSED_PORT).
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"
#include "test_dispatch.h"

using namespace hosttest;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr HRESULT kCannotConnect = static_cast<HRESULT>(0x80072EFD);  // WinHTTP 12029
constexpr HRESULT kTimedOut = static_cast<HRESULT>(0x80072EE2);       // WinHTTP 12002
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A0000 | 91);

// A VARIANT holding a byte array (VT_ARRAY|VT_UI1), as VB holds a Byte() variable.
Arg ByteArray(const Bytes& bytes) {
    Arg arg;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    V_VT(&arg.value) = VT_ARRAY | VT_UI1;
    V_ARRAY(&arg.value) = array;
    return arg;
}

Bytes BytesOf(const VARIANT& value) {
    Bytes bytes;
    if (V_VT(&value) != (VT_ARRAY | VT_UI1)) return bytes;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    bytes.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + (upper - lower + 1));
    SafeArrayUnaccessData(array);
    return bytes;
}

Bytes EveryByteValueTwice() {
    Bytes bytes;
    for (int round = 0; round < 2; ++round) {
        for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

// The peer's /binary pattern.
Bytes PeerPattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 31 + i / 251) % 256);
    return bytes;
}

std::wstring PeerPort(const char* variable) {
    const char* port = std::getenv(variable);
    return port ? std::wstring(port, port + strlen(port)) : std::wstring();
}

// One wrapper, called late bound the way a script does.
class Http {
public:
    Http() : object_(Create(L"ZanKit.WinHttpWrapper")) {}
    IDispatch* Get() const { return object_.Get(); }
    CallResult Open(const std::wstring& method, const std::wstring& url) {
        return Call(object_.Get(), L"OpenRequest", DISPATCH_METHOD,
                    {Arg::Text(method), Arg::Text(url), Arg::Bool(false)});
    }
    CallResult Header(const std::wstring& name, const std::wstring& value) {
        return Call(object_.Get(), L"SetRequestHeader", DISPATCH_METHOD, {Arg::Text(name), Arg::Text(value)});
    }
    CallResult Send(Arg body) { return Call(object_.Get(), L"Send", DISPATCH_METHOD, {body}); }
    CallResult Property(const wchar_t* name) { return hosttest::Get(object_.Get(), name); }
    std::wstring ResponseHeader(const std::wstring& name) {
        return Call(object_.Get(), L"GetResponseHeader", DISPATCH_METHOD, {Arg::Text(name)}).Text();
    }
    Bytes Body() { return BytesOf(Property(L"ResponseBody").value); }

private:
    ComPtr<IDispatch> object_;
};

class WinHttpPeer : public testing::Test {
protected:
    void SetUp() override {
        port_ = PeerPort("ZANKIT_HTTP_PORT");
        if (port_.empty()) GTEST_SKIP() << "run by tests/peers/run_http_tests.sh, which starts the HTTP peer";
    }
    std::wstring Url(const std::wstring& path) const { return L"http://127.0.0.1:" + port_ + path; }
    std::wstring port_;
};

// Stands in for the system HTTP request object, registered for this process only: the real
// object cannot be made to fail its creation or its SetTimeouts on demand.
class StandInFactory final : public IClassFactory {
public:
    bool failCreation = false;
    bool failTimeouts = false;
    std::vector<std::wstring> timeoutArguments;  // "type:value" of each SetTimeouts argument

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
        *out = nullptr;
        if (failCreation) return E_OUTOFMEMORY;
        ComPtr<TestDispatch> request = TestDispatch::Make();
        request->Define(L"SetTimeouts", [this](const std::vector<VARIANT*>& args, VARIANT*) {
            for (VARIANT* arg : args) {
                timeoutArguments.push_back(std::to_wstring(V_VT(arg)) + L":" + std::to_wstring(LongOf(arg)));
            }
            if (failTimeouts) throw Raised{static_cast<HRESULT>(0x800A0005), L"time-outs refused"};
        });
        return request->QueryInterface(iid, out);
    }
};

// Registers the stand-in under the request object's class for the life of the scope.
class StandInRegistration {
public:
    explicit StandInRegistration(StandInFactory* factory) {
        CLSID clsid;
        if (SUCCEEDED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &clsid))) {
            CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
        }
    }
    StandInRegistration(const StandInRegistration&) = delete;
    StandInRegistration& operator=(const StandInRegistration&) = delete;
    ~StandInRegistration() {
        if (cookie_) CoRevokeClassObject(cookie_);
    }
    bool Registered() const { return cookie_ != 0; }

private:
    DWORD cookie_ = 0;
};

}  // namespace

TEST(WinHttpWrapper, ANewWrapperIsReadyAndTerminateReleasesItForGood) {
    Http http;
    ASSERT_TRUE(http.Get());
    EXPECT_EQ(http.Property(L"IsWinHttpReady").Flag(), 1);
    EXPECT_EQ(http.Property(L"ErrorDescription").Text(), L"");
    EXPECT_EQ(Call(http.Get(), L"Terminate", DISPATCH_METHOD, {}).hr, S_OK);
    EXPECT_EQ(http.Property(L"IsWinHttpReady").Flag(), 0);
    CallResult open = http.Open(L"GET", L"http://127.0.0.1/");
    EXPECT_EQ(open.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(open.exception.scode, kObjectNotSet);
    EXPECT_EQ(http.Send(Arg::Text(L"")).exception.scode, kObjectNotSet);
    EXPECT_EQ(http.Property(L"ResponseText").exception.scode, kObjectNotSet);

    // Early bound (as VB calls it) the failure comes back as the HRESULT itself.
    Http again;
    ComPtr<_WinHttpWrapper> early;
    ASSERT_EQ(ComPtr<IDispatch>(again.Get()).As(early, IID__WinHttpWrapper), S_OK);
    EXPECT_EQ(early->Terminate(), S_OK);
    BSTR method = SysAllocString(L"GET");
    BSTR url = SysAllocString(L"http://127.0.0.1/");
    VARIANT_BOOL async = VARIANT_FALSE;
    EXPECT_EQ(early->OpenRequest(&method, &url, &async), kObjectNotSet);
    SysFreeString(method);
    SysFreeString(url);
}

TEST(WinHttpWrapper, CreationSetsFourTimeoutsAndKeepsAndReportsItsFailures) {
    struct Case {
        const char* name;
        bool failCreation;
        bool failTimeouts;
        int ready;
        const wchar_t* description;
        const wchar_t* report;  // tag and text the logger gets, or null for none
    };
    const Case cases[] = {
        {"all well", false, false, 1, L"", nullptr},
        {"no request object", true, false, 0, L"ActiveX component can't create object",
         L"ZanKit|WinHttpWrapper.Class_Initialize#0\t429:(ActiveX component can't create object)\t"},
        {"time-outs refused", false, true, 1, L"time-outs refused",
         L"TestDispatch|WinHttpWrapper.Class_Initialize#0\t5:(time-outs refused)\t"},
    };
    RegisterTestLogger(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInFactory factory;
        factory.failCreation = c.failCreation;
        factory.failTimeouts = c.failTimeouts;
        StandInRegistration registration(&factory);
        ASSERT_TRUE(registration.Registered());
        TakeLoggerRecords();
        Http http;
        ASSERT_TRUE(http.Get()) << "the wrapper itself is always created";
        EXPECT_EQ(http.Property(L"IsWinHttpReady").Flag(), c.ready);
        EXPECT_EQ(http.Property(L"ErrorDescription").Text(), c.description);
        std::vector<std::wstring> records = TakeLoggerRecords();
        if (c.report) {
            ASSERT_EQ(records.size(), 1u);
            EXPECT_NE(records[0].find(c.report), std::wstring::npos) << records[0].c_str();
        } else {
            EXPECT_TRUE(records.empty());
        }
        if (!c.failCreation) {
            // Four 16-bit integers of 30 000 ms: resolve, connect, send and receive.
            EXPECT_EQ(factory.timeoutArguments, std::vector<std::wstring>(4, L"2:30000"));
        }
    }

    // SetTimeouts passes the caller's four values on, in their order.
    StandInFactory factory;
    StandInRegistration registration(&factory);
    Http http;
    factory.timeoutArguments.clear();
    EXPECT_EQ(Call(http.Get(), L"SetTimeouts", DISPATCH_METHOD,
                   {Arg::Long(1000), Arg::Long(2000), Arg::Long(3000), Arg::Long(40000)})
                  .hr,
              S_OK);
    EXPECT_EQ(factory.timeoutArguments, (std::vector<std::wstring>{L"3:1000", L"3:2000", L"3:3000", L"3:40000"}));
}

TEST(WinHttpWrapper, ReadingTheAnswerBeforeSendingRaisesTheRequestObjectsError) {
    Http http;
    CallResult text = http.Property(L"ResponseText");
    EXPECT_EQ(text.hr, DISP_E_EXCEPTION);
    EXPECT_TRUE(FAILED(text.exception.scode));
    EXPECT_FALSE(text.Description().empty());
}

TEST_F(WinHttpPeer, GetAndPostReachTheServerWithTheirHeadersAndBodies) {
    struct Case {
        const char* name;
        const wchar_t* method;
        Arg body;
        std::string expectedBody;
    };
    const Case cases[] = {
        {"GET", L"GET", Arg::Text(L""), ""},
        {"POST text", L"POST", Arg::Text(L"name=Zan&kit=1"), "name=Zan&kit=1"},
        {"POST a number", L"POST", Arg::Long(1234), "1234"},
        {"POST Empty", L"POST", Arg(), ""},
        {"PUT text", L"PUT", Arg::Text(L"replace"), "replace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Http http;
        ASSERT_EQ(http.Open(c.method, Url(L"/echo")).hr, S_OK);
        ASSERT_EQ(http.Header(L"X-ZanKit-Test", L"Wert 1").hr, S_OK);
        CallResult sent = http.Send(c.body);
        ASSERT_EQ(sent.hr, S_OK) << std::string(sent.Description().begin(), sent.Description().end());
        EXPECT_EQ(http.Property(L"Status").Number(), 200);
        EXPECT_EQ(http.Property(L"StatusText").Text(), L"OK");
        EXPECT_EQ(http.ResponseHeader(L"X-Echo-Method"), c.method);
        EXPECT_EQ(http.ResponseHeader(L"X-Echo-X-ZanKit-Test"), L"Wert 1");
        Bytes body = http.Body();
        EXPECT_EQ(std::string(body.begin(), body.end()), c.expectedBody);
        EXPECT_EQ(http.Property(L"ResponseText").Text(), std::wstring(c.expectedBody.begin(), c.expectedBody.end()));
    }
}

// A byte array goes out unchanged (an upload of a file), late and early bound.
TEST_F(WinHttpPeer, AByteArrayBodyArrivesByteForByte) {
    const Bytes upload = EveryByteValueTwice();
    Http late;
    ASSERT_EQ(late.Open(L"POST", Url(L"/echo")).hr, S_OK);
    ASSERT_EQ(late.Send(ByteArray(upload)).hr, S_OK);
    EXPECT_EQ(late.ResponseHeader(L"X-Echo-Content-Length"), L"512");
    EXPECT_EQ(late.Body(), upload);

    Http early;
    ComPtr<_WinHttpWrapper> wrapper;
    ASSERT_EQ(ComPtr<IDispatch>(early.Get()).As(wrapper, IID__WinHttpWrapper), S_OK);
    ASSERT_EQ(early.Open(L"POST", Url(L"/echo")).hr, S_OK);
    Arg body = ByteArray(upload);
    ASSERT_EQ(wrapper->Send(&body.value), S_OK);
    VARIANT answer;
    VariantInit(&answer);
    ASSERT_EQ(wrapper->get_ResponseBody(&answer), S_OK);
    EXPECT_EQ(BytesOf(answer), upload);
    VariantClear(&answer);
}

TEST_F(WinHttpPeer, AnswersComeBackAsTextStatusHeadersAndBytes) {
    Http umlaut;
    ASSERT_EQ(umlaut.Open(L"GET", Url(L"/umlaut")).hr, S_OK);
    ASSERT_EQ(umlaut.Send(Arg()).hr, S_OK);
    EXPECT_EQ(umlaut.Property(L"ResponseText").Text(), L"Grüße aus Köln: äöü ÄÖÜ ß – €");

    Http missing;
    ASSERT_EQ(missing.Open(L"GET", Url(L"/status/404")).hr, S_OK);
    ASSERT_EQ(missing.Send(Arg()).hr, S_OK);
    EXPECT_EQ(missing.Property(L"Status").Number(), 404);
    EXPECT_EQ(missing.Property(L"StatusText").Text(), L"Not Found");
    EXPECT_EQ(missing.ResponseHeader(L"Content-Type"), L"text/plain");
    std::wstring all = Call(missing.Get(), L"GetAllResponseHeaders", DISPATCH_METHOD, {}).Text();
    EXPECT_NE(all.find(L"Content-Type: text/plain\r\n"), std::wstring::npos) << all.c_str();
    EXPECT_NE(all.find(L"Content-Length: 11\r\n"), std::wstring::npos) << all.c_str();

    const size_t size = 5 * 1024 * 1024;
    Http binary;
    ASSERT_EQ(binary.Open(L"GET", Url(L"/binary?size=" + std::to_wstring(size))).hr, S_OK);
    ASSERT_EQ(binary.Send(Arg()).hr, S_OK);
    Bytes body = binary.Body();
    ASSERT_EQ(body.size(), size);
    EXPECT_TRUE(body == PeerPattern(size)) << "the 5 MiB answer differs";
}

TEST_F(WinHttpPeer, FailuresOfTheRequestObjectReachTheCaller) {
    Http refused;
    ASSERT_EQ(refused.Open(L"GET", L"http://127.0.0.1:" + PeerPort("ZANKIT_HTTP_CLOSED_PORT") + L"/").hr, S_OK);
    CallResult sent = refused.Send(Arg());
    EXPECT_EQ(sent.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(sent.exception.scode, kCannotConnect);
    EXPECT_EQ(sent.Description(), L"A connection with the server could not be established");

    for (const wchar_t* url : {L"not a url", L"gopher://127.0.0.1/", L"http://"}) {
        SCOPED_TRACE(testing::Message() << std::string(url, url + wcslen(url)));
        Http bad;
        CallResult open = bad.Open(L"GET", url);
        EXPECT_EQ(open.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(HRESULT_FACILITY(open.exception.scode), FACILITY_WIN32);
        EXPECT_FALSE(open.Description().empty());
    }
}

// The test authority is trusted inside the test prefix only: its certificate for 127.0.0.1
// works; its certificate for another name, and one from an authority nobody trusts, fail.
TEST_F(WinHttpPeer, HttpsWorksOnlyWithATrustedCertificateForTheHost) {
    const std::wstring https = PeerPort("ZANKIT_HTTPS_PORT");
    ASSERT_FALSE(https.empty());
    Http trusted;
    ASSERT_EQ(trusted.Open(L"POST", L"https://127.0.0.1:" + https + L"/echo").hr, S_OK);
    CallResult sent = trusted.Send(Arg::Text(L"over TLS"));
    ASSERT_EQ(sent.hr, S_OK) << std::string(sent.Description().begin(), sent.Description().end());
    EXPECT_EQ(trusted.Property(L"Status").Number(), 200);
    EXPECT_EQ(trusted.Property(L"ResponseText").Text(), L"over TLS");

    for (const char* refusedPort : {"ZANKIT_HTTPS_OTHER_PORT", "ZANKIT_HTTPS_UNTRUSTED_PORT"}) {
        SCOPED_TRACE(refusedPort);
        const std::wstring port = PeerPort(refusedPort);
        ASSERT_FALSE(port.empty());
        Http refused;
        ASSERT_EQ(refused.Open(L"GET", L"https://127.0.0.1:" + port + L"/echo").hr, S_OK);
        CallResult failed = refused.Send(Arg());
        EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(HRESULT_FACILITY(failed.exception.scode), FACILITY_WIN32);
        EXPECT_FALSE(failed.Description().empty());
    }
}
