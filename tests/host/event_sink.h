// A C++ event sink for __clsSendMail, as VB's WithEvents builds one: it records every
// event with its arguments, in order.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

namespace hosttest {

class MailEventSink final : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::wstring text;  // Explanation or Status text
        long number = 0;    // Progress percentage
    };

    MailEventSink() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<Event> events;
    // Runs for every event after it is recorded, as a handler in a host would (it may call back
    // into the object that fired).
    std::function<void(const Event&)> onEvent;
    long References() const { return references_; }

private:
    ~MailEventSink() = default;
    long references_ = 1;
};

}  // namespace hosttest
