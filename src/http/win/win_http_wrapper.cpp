#include "http/win/win_http_wrapper.h"

#include <oleauto.h>

#include <cwchar>
#include <string_view>

#include "frame/bstr.h"
#include "frame/report_error.h"
#include "frame/variant.h"
#include "frame/late_call.h"
#include "http/declared_charset.h"
#include "http/http_failure_text.h"
#include "http/win/body_text.h"

namespace zankit {
namespace {

constexpr wchar_t kRequestProgId[] = L"WinHttp.WinHttpRequest.5.1";
constexpr wchar_t kRequestSource[] = L"WinHttp.WinHttpRequest";
constexpr wchar_t kCreationTag[] = L"|WinHttpWrapper.Class_Initialize#";
constexpr short kCreationTimeout = 30000;  // milliseconds, for each of the four phases

// The body as the request object gets it: a byte array unchanged (an upload keeps every
// byte), Empty as an empty string, anything else as its text, a Boolean as "True" or
// "False" like the run time's conversion to a string.
HRESULT RequestBody(const VARIANT* body, Variant& out) {
    Variant plain;
    if (body) {
        HRESULT hr = VariantCopyInd(plain.Get(), const_cast<VARIANT*>(body));
        if (FAILED(hr)) return hr;
    }
    VARTYPE vt = V_VT(plain.Get());
    if (vt == (VT_ARRAY | VT_UI1)) {
        out = std::move(plain);
        return S_OK;
    }
    if (vt == VT_EMPTY) {
        V_VT(out.Get()) = VT_BSTR;
        V_BSTR(out.Get()) = SysAllocString(L"");
        return V_BSTR(out.Get()) ? S_OK : E_OUTOFMEMORY;
    }
    if (vt == VT_NULL) return VbError(94);
    if (FAILED(VariantChangeTypeEx(out.Get(), plain.Get(), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR)))
        return VbError(13);
    return S_OK;
}

std::wstring BodyErrorText(HRESULT hr) {
    if (hr == VbError(94)) return L"Invalid use of Null";
    if (hr == VbError(13)) return L"Type mismatch";
    return L"Out of memory";
}

// What the request object said about its failure, with its source and a text filled in
// where it gave none. A failure it returned without raising it reaches the caller as the
// run-time error a late-bound VB call on the object gives.
Failure RequestFailure(const CallOutcome& outcome) {
    if (outcome.source.empty() && outcome.description.empty()) {
        BareFailure bare = AsRunTimeError(outcome.hr);
        if (!bare.description.empty())
            return Failure{static_cast<HRESULT>(bare.number), kRequestSource, bare.description};
    }
    return Failure{outcome.hr, outcome.source.empty() ? kRequestSource : outcome.source,
                   outcome.description.empty() ? HttpFailureText(outcome.hr) : outcome.description};
}

// A Variant argument as the request object gets it: a script's by-reference variable as its
// value, a missing optional argument as missing.
HRESULT PlainValue(const VARIANT& value, Variant& out) {
    return VariantCopyInd(out.Get(), const_cast<VARIANT*>(&value));
}

// An in/out string parameter that an early-bound caller may leave null.
BSTR TextOf(BSTR* slot) { return slot ? *slot : nullptr; }

}  // namespace

WinHttpWrapper::WinHttpWrapper() : DispatchObject(IID__WinHttpWrapper, L"ZanKit.WinHttpWrapper") {
    CreateRequestObject();
}

WinHttpWrapper::~WinHttpWrapper() { m_oHttp.Reset(); }

// Failures are kept in ErrorDescription and reported; the wrapper is created all the same
// and IsWinHttpReady tells whether it can be used.
void WinHttpWrapper::CreateRequestObject() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kRequestProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              m_oHttp.PutVoid());
    }
    if (FAILED(hr) || !m_oHttp) {
        m_oHttp.Reset();
        Failure failure{VbError(429), L"ZanKit", L"ActiveX component can't create object"};
        m_sErrorDescription = failure.description;
        ReportFailure(failure, kCreationTag);
        return;
    }
    CallOutcome timeouts = CallByName(m_oHttp.Get(), L"SetTimeouts", DISPATCH_METHOD,
                                      {ShortArg(kCreationTimeout), ShortArg(kCreationTimeout),
                                       ShortArg(kCreationTimeout), ShortArg(kCreationTimeout)});
    if (timeouts.Failed()) {
        Failure failure = RequestFailure(timeouts);
        m_sErrorDescription = failure.description;
        ReportFailure(failure, kCreationTag);
    }
}

// A call after Terminate, or after a failed creation: VB's error for a call on Nothing.
HRESULT WinHttpWrapper::RaiseReleased() {
    return Raise(VbError(91), L"Object variable or With block variable not set");
}

HRESULT WinHttpWrapper::Forward(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result) {
    if (!m_oHttp) return RaiseReleased();
    CallOutcome outcome = CallByName(m_oHttp.Get(), name, flags, args);
    if (outcome.Failed()) {
        Failure failure = RequestFailure(outcome);
        return RaiseFrom(failure.number, failure.source, failure.description);
    }
    if (result) outcome.result.MoveTo(result);
    return S_OK;
}

HRESULT WinHttpWrapper::ForwardAs(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, VARTYPE vt,
                                  VARIANT* out) {
    Variant answer;
    HRESULT hr = Forward(name, flags, args, answer.Get());
    if (FAILED(hr)) return hr;
    Variant converted;
    if (V_VT(answer.Get()) == vt) {
        converted = std::move(answer);
    } else if (FAILED(VariantChangeType(converted.Get(), answer.Get(), 0, vt))) {
        return Raise(VbError(13), L"Type mismatch");
    }
    converted.MoveTo(out);
    return S_OK;
}

STDMETHODIMP WinHttpWrapper::get_IsWinHttpReady(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    *value = m_oHttp ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP WinHttpWrapper::Terminate() {
    m_oHttp.Reset();
    return S_OK;
}

STDMETHODIMP WinHttpWrapper::get_ErrorDescription(BSTR* value) {
    if (!value) return E_POINTER;
    return Guarded([&] { return ToBstr(m_sErrorDescription, value); });
}

STDMETHODIMP WinHttpWrapper::OpenRequest(BSTR* method, BSTR* url, VARIANT_BOOL* async) {
    return Guarded([&] {
        bool asynchronous = async && *async != VARIANT_FALSE;
        return Forward(L"Open", DISPATCH_METHOD, {TextArg(TextOf(method)), TextArg(TextOf(url)), BoolArg(asynchronous)},
                       nullptr);
    });
}

STDMETHODIMP WinHttpWrapper::SetRequestHeader(BSTR* header, BSTR* value) {
    return Guarded([&] {
        return Forward(L"SetRequestHeader", DISPATCH_METHOD, {TextArg(TextOf(header)), TextArg(TextOf(value))},
                       nullptr);
    });
}

STDMETHODIMP WinHttpWrapper::Send(VARIANT* body) {
    return Guarded([&] {
        if (!m_oHttp) return RaiseReleased();
        Variant requestBody;
        HRESULT hr = RequestBody(body, requestBody);
        if (FAILED(hr)) return Raise(hr, BodyErrorText(hr));
        return Forward(L"Send", DISPATCH_METHOD, {*requestBody.Get()}, nullptr);
    });
}

// The request object's text, or the body read in the charset the response declares: some
// request objects know only a few charsets and read every other body in the ANSI code page.
STDMETHODIMP WinHttpWrapper::get_ResponseText(BSTR* value) {
    HRESULT hr = ForwardText(L"ResponseText", DISPATCH_PROPERTYGET, {}, value, TextEnd::Whole);
    if (FAILED(hr)) return hr;
    return Guarded([&] {
        std::optional<unsigned> codePage = ResponseCodePage();
        if (!codePage) return S_OK;
        CallOutcome body = CallByName(m_oHttp.Get(), L"ResponseBody", DISPATCH_PROPERTYGET);
        if (body.Failed()) return S_OK;
        std::optional<std::wstring> text = BodyText(*body.result.Get(), *codePage);
        if (!text) return S_OK;
        return AssignBstr(value, *text);
    });
}

std::optional<unsigned> WinHttpWrapper::ResponseCodePage() {
    Bstr name(L"Content-Type");
    CallOutcome header = CallByName(m_oHttp.Get(), L"GetResponseHeader", DISPATCH_METHOD, {TextArg(name.Get())});
    if (header.Failed() || V_VT(header.result.Get()) != VT_BSTR) return std::nullopt;
    BSTR type = V_BSTR(header.result.Get());
    return DeclaredCodePage(std::wstring_view(type, type ? wcslen(type) : 0));
}

STDMETHODIMP WinHttpWrapper::get_Status(LONG* value) {
    if (!value) return E_POINTER;
    *value = 0;
    return Guarded([&] {
        Variant status;
        HRESULT hr = ForwardAs(L"Status", DISPATCH_PROPERTYGET, {}, VT_I4, status.Get());
        if (SUCCEEDED(hr)) *value = V_I4(status.Get());
        return hr;
    });
}

STDMETHODIMP WinHttpWrapper::get_StatusText(BSTR* value) {
    return ForwardText(L"StatusText", DISPATCH_PROPERTYGET, {}, value, TextEnd::AtFirstNul);
}

STDMETHODIMP WinHttpWrapper::GetResponseHeader(BSTR header, BSTR* value) {
    return ForwardText(L"GetResponseHeader", DISPATCH_METHOD, {TextArg(header)}, value, TextEnd::AtFirstNul);
}

STDMETHODIMP WinHttpWrapper::GetAllResponseHeaders(BSTR* value) {
    return ForwardText(L"GetAllResponseHeaders", DISPATCH_METHOD, {}, value, TextEnd::AtFirstNul);
}

STDMETHODIMP WinHttpWrapper::get_ResponseBody(VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    return Guarded([&] { return Forward(L"ResponseBody", DISPATCH_PROPERTYGET, {}, value); });
}

STDMETHODIMP WinHttpWrapper::SetTimeouts(LONG resolve, LONG connect, LONG send, LONG receive) {
    return Guarded([&] {
        return Forward(L"SetTimeouts", DISPATCH_METHOD,
                       {LongArg(resolve), LongArg(connect), LongArg(send), LongArg(receive)}, nullptr);
    });
}

STDMETHODIMP WinHttpWrapper::SetProxy(LONG setting, VARIANT server, VARIANT bypassList) {
    return Guarded([&] {
        Variant plainServer, plainBypass;
        if (FAILED(PlainValue(server, plainServer)) || FAILED(PlainValue(bypassList, plainBypass)))
            return Raise(VbError(13), L"Type mismatch");
        return Forward(L"SetProxy", DISPATCH_METHOD, {LongArg(setting), *plainServer.Get(), *plainBypass.Get()},
                       nullptr);
    });
}

STDMETHODIMP WinHttpWrapper::SetCredentials(BSTR userName, BSTR password, LONG flags) {
    return Guarded([&] {
        return Forward(L"SetCredentials", DISPATCH_METHOD, {TextArg(userName), TextArg(password), LongArg(flags)},
                       nullptr);
    });
}

STDMETHODIMP WinHttpWrapper::get_Option(LONG option, VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    return Guarded([&] { return Forward(L"Option", DISPATCH_PROPERTYGET, {LongArg(option)}, value); });
}

STDMETHODIMP WinHttpWrapper::put_Option(LONG option, VARIANT value) {
    return Guarded([&] {
        Variant plain;
        if (FAILED(PlainValue(value, plain))) return Raise(VbError(13), L"Type mismatch");
        return Forward(L"Option", DISPATCH_PROPERTYPUT, {LongArg(option), *plain.Get()}, nullptr);
    });
}

// Some request objects answer False (or nothing) when the response arrived before the call:
// a False answer counts as True when the request object already gives the response's status.
STDMETHODIMP WinHttpWrapper::WaitForResponse(LONG timeout, VARIANT_BOOL* succeeded) {
    if (!succeeded) return E_POINTER;
    *succeeded = VARIANT_FALSE;
    return Guarded([&] {
        Variant answer;
        HRESULT hr = Forward(L"WaitForResponse", DISPATCH_METHOD, {LongArg(timeout)}, answer.Get());
        if (FAILED(hr)) return hr;
        Variant flag;
        if (V_VT(answer.Get()) != VT_EMPTY && FAILED(VariantChangeType(flag.Get(), answer.Get(), 0, VT_BOOL)))
            return Raise(VbError(13), L"Type mismatch");
        bool arrived = V_VT(flag.Get()) == VT_BOOL && V_BOOL(flag.Get()) != VARIANT_FALSE;
        if (!arrived) arrived = !CallByName(m_oHttp.Get(), L"Status", DISPATCH_PROPERTYGET).Failed();
        *succeeded = arrived ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP WinHttpWrapper::Abort() {
    return Guarded([&] { return Forward(L"Abort", DISPATCH_METHOD, {}, nullptr); });
}

HRESULT WinHttpWrapper::ForwardText(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, BSTR* out,
                                    TextEnd end) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guarded([&] {
        Variant text;
        HRESULT hr = ForwardAs(name, flags, args, VT_BSTR, text.Get());
        if (FAILED(hr)) return hr;
        BSTR answer = V_BSTR(text.Get());
        UINT length = SysStringLen(answer);
        if (end == TextEnd::AtFirstNul && answer && wcslen(answer) < length) {
            return ToBstr(std::wstring_view(answer, wcslen(answer)), out);
        }
        *out = answer;
        V_VT(text.Get()) = VT_EMPTY;  // the caller owns the string now
        return S_OK;
    });
}

HRESULT CreateWinHttpWrapper(REFIID iid, void** out) { return CreateAndQuery<WinHttpWrapper>(iid, out); }

}  // namespace zankit
