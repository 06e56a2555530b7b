// A C++ event sink for __clsSendMail, as VB's WithEvents builds one: it records every event
// with its argument, in order, then runs onEvent, which may call back into the object that fired.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/zankit_interfaces.h"

namespace hosttest {

class MailEventSink final : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::wstring text;  // Explanation or Status text
        long number = 0;    // Progress percentage
    };

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        const bool known = iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___clsSendMail;
        *out = known ? static_cast<IDispatch*>(this) : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    // The one argument of SendFailed, Status (a BSTR) and Progress (a Long) comes by reference; so
    // do the three texts of OAuthUserCode, kept first to last joined by '|'.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        Event event{id, L"", 0};
        for (UINT i = params ? params->cArgs : 0; i-- > 0;) {
            VARIANT* arg = &params->rgvarg[i];
            if (i + 1 < params->cArgs) event.text += L"|";
            if (V_VT(arg) == (VT_BYREF | VT_BSTR) && V_BSTRREF(arg) && *V_BSTRREF(arg)) {
                event.text.append(*V_BSTRREF(arg), SysStringLen(*V_BSTRREF(arg)));
            } else if (V_VT(arg) == (VT_BYREF | VT_I4) && V_I4REF(arg)) {
                event.number = *V_I4REF(arg);
            } else if (V_VT(arg) != (VT_BYREF | VT_BSTR)) {
                event.text += L"<unexpected argument type " + std::to_wstring(V_VT(arg)) + L">";
            }
        }
        events.push_back(event);
        if (onEvent) onEvent(event);
        return S_OK;
    }

    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;
    long References() const { return references_; }

private:
    ~MailEventSink() = default;
    long references_ = 1;
};

}  // namespace hosttest
