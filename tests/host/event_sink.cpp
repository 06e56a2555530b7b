#include "event_sink.h"

#include "frame/zankit_interfaces.h"

namespace hosttest {

STDMETHODIMP MailEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    const bool known =
        IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID___clsSendMail);
    *out = known ? static_cast<IDispatch*>(this) : nullptr;
    if (known) AddRef();
    return known ? S_OK : E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) MailEventSink::AddRef() { return static_cast<ULONG>(++references_); }
STDMETHODIMP_(ULONG) MailEventSink::Release() {
    long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP MailEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    Event event{id, L"", 0};
    if (params && params->cArgs == 1) {
        VARIANT* arg = &params->rgvarg[0];
        if (V_VT(arg) == (VT_BYREF | VT_BSTR) && V_BSTRREF(arg) && *V_BSTRREF(arg)) {
            event.text.assign(*V_BSTRREF(arg), SysStringLen(*V_BSTRREF(arg)));
        } else if (V_VT(arg) == (VT_BYREF | VT_I4) && V_I4REF(arg)) {
            event.number = *V_I4REF(arg);
        } else {
            event.text = L"<unexpected argument type " + std::to_wstring(V_VT(arg)) + L">";
        }
    }
    events.push_back(event);
    if (onEvent) onEvent(event);
    return S_OK;
}

}  // namespace hosttest
