// WinHttpWrapper: an early-bindable face over the system HTTP request object.
#pragma once

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
};

HRESULT CreateWinHttpWrapper(REFIID iid, void** out);

}  // namespace zankit
