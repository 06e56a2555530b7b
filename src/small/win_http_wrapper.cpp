#include "small/win_http_wrapper.h"

namespace zankit {

WinHttpWrapper::WinHttpWrapper() : DispatchObject(IID__WinHttpWrapper, L"ZanKit.WinHttpWrapper") {}

// Not built yet: every member answers E_NOTIMPL, "not implemented".
STDMETHODIMP WinHttpWrapper::get_IsWinHttpReady(VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::Terminate() { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::get_ErrorDescription(BSTR*) { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::OpenRequest(BSTR*, BSTR*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::SetRequestHeader(BSTR*, BSTR*) { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::Send(VARIANT*) { return NotBuilt(); }
STDMETHODIMP WinHttpWrapper::get_ResponseText(BSTR*) { return NotBuilt(); }

HRESULT CreateWinHttpWrapper(REFIID iid, void** out) { return CreateAndQuery<WinHttpWrapper>(iid, out); }

}  // namespace zankit
