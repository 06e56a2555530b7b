#include "http/win/win_http_wrapper.h"

#include <oleauto.h>

#include <cwchar>
#include <string_view>

#include "frame/bstr.h"
#include "frame/report_error.h"
#include "frame/variant.h"
#include "http/http_failure_text.h"
#include "frame/late_call.h"

namespace zankit {
namespace {

constexpr wchar_t kRequestProgId[] = L"WinHttp.WinHttpRequest.5.1";
constexpr wchar_t kRequestSource[] = L"WinHttp.WinHttpRequest";
constexpr wchar_t kCreationTag[] = L"|WinHttpWrapper.Class_Initialize#";
constexpr short kCreationTimeout = 30000;  // milliseconds, for each of the four phases

// The body as the request object gets it: a byte array unchanged (an upload keeps every
// byte), Empty as an empty string, anything else as its text.
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
    if (FAILED(VariantChangeTypeEx(out.Get(), plain.Get(), LOCALE_USER_DEFAULT, 0, VT_BSTR))) return VbError(13);
    return S_OK;
}

std::wstring BodyErrorText(HRESULT hr) {
    if (hr == VbError(94)) return L"Invalid use of Null";
    if (hr == VbError(13)) return L"Type mismatch";
    return L"Out of memory";
}

// What the request object said about its failure, with its source and a text filled in
// where it gave none.
Failure RequestFailure(const CallOutcome& outcome) {
    return Failure{outcome.hr, outcome.source.empty() ? kRequestSource : outcome.source,
                   outcome.description.empty() ? HttpFailureText(outcome.hr) : outcome.description};
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

STDMETHODIMP WinHttpWrapper::get_ResponseText(BSTR* value) {
    return ForwardText(L"ResponseText", DISPATCH_PROPERTYGET, {}, value, TextEnd::Whole);
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
