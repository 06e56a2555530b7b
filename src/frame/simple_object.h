// IUnknown for the library's small helper objects that offer one interface (class
// factories, enumerators): reference counting and the module's object count.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

#include "frame/module.h"

namespace zankit {

template <typename Interface, const IID& InterfaceId>
class SimpleObject : public Interface {
public:
    SimpleObject() { ObjectCreated(); }
    SimpleObject(const SimpleObject&) = delete;
    SimpleObject& operator=(const SimpleObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, InterfaceId)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~SimpleObject() { ObjectDestroyed(); }

private:
    std::atomic<long> references_{1};
};

}  // namespace zankit
