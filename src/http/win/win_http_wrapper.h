// WinHttpWrapper: an early-bindable face over the system HTTP request object. The request
// object is created with 30-second time-outs when the wrapper is created; every call is
// forwarded to it by name and its failures reach the caller unchanged. ResponseText is read
// in the charset the response declares.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "frame/com_ptr.h"
#include "frame/dispatch_object.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class WinHttpWrapper final : public DispatchObject<_WinHttpWrapper> {
public:
    WinHttpWrapper();
    STDMETHODIMP get_IsWinHttpReady(VARIANT_BOOL* value) override;
    STDMETHODIMP Terminate() override;
    STDMETHODIMP get_ErrorDescription(BSTR* value) override;
    STDMETHODIMP OpenRequest(BSTR* method, BSTR* url, VARIANT_BOOL* async) override;
    STDMETHODIMP SetRequestHeader(BSTR* header, BSTR* value) override;
    STDMETHODIMP Send(VARIANT* body) override;
    STDMETHODIMP get_ResponseText(BSTR* value) override;
    STDMETHODIMP get_Status(LONG* value) override;
    STDMETHODIMP get_StatusText(BSTR* value) override;
    STDMETHODIMP GetResponseHeader(BSTR header, BSTR* value) override;
    STDMETHODIMP GetAllResponseHeaders(BSTR* value) override;
    STDMETHODIMP get_ResponseBody(VARIANT* value) override;
    STDMETHODIMP SetTimeouts(LONG resolve, LONG connect, LONG send, LONG receive) override;
    STDMETHODIMP SetProxy(LONG setting, VARIANT server, VARIANT bypassList) override;
    STDMETHODIMP SetCredentials(BSTR userName, BSTR password, LONG flags) override;
    STDMETHODIMP get_Option(LONG option, VARIANT* value) override;
    STDMETHODIMP put_Option(LONG option, VARIANT value) override;
    STDMETHODIMP WaitForResponse(LONG timeout, VARIANT_BOOL* succeeded) override;
    STDMETHODIMP Abort() override;

private:
    ~WinHttpWrapper() override;
    void CreateRequestObject();
    HRESULT RaiseReleased();
    // Calls a member of the request object; its failure (or a call after Terminate) is
    // raised to the caller. result may be null.
    HRESULT Forward(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result);
    // Forward for a property or method whose answer is converted to vt and handed out.
    HRESULT ForwardAs(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, VARTYPE vt, VARIANT* out);
    // ForwardAs for a text answer. Status texts and headers never hold a NUL, but some
    // request objects count their terminator into the string; those answers end at the
    // first NUL. A response body's text is handed on whole.
    enum class TextEnd { Whole, AtFirstNul };
    HRESULT ForwardText(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args, BSTR* out, TextEnd end);
    // The code page the response declares for its body, if the request object names it.
    std::optional<unsigned> ResponseCodePage();

    ComPtr<IDispatch> m_oHttp;
    std::wstring m_sErrorDescription;
};

HRESULT CreateWinHttpWrapper(REFIID iid, void** out);

}  // namespace zankit
