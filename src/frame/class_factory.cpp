// The class factory of every creatable class, and the two entry points that hand it out
// and tell whether the DLL may be unloaded.
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>

#include "frame/class_table.h"
#include "frame/module.h"

namespace zankit {
namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) { ObjectCreated(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
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
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        zankit::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    ~ClassFactory() { ObjectDestroyed(); }

    const ClassEntry& entry_;
    std::atomic<long> references_{1};
};

}  // namespace
}  // namespace zankit

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const zankit::ClassEntry* entry = zankit::FindClass(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) zankit::ClassFactory(*entry);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return zankit::ModuleInUse() ? S_FALSE : S_OK; }
