// The class factory of every creatable class, and the two entry points that hand it out
// and tell whether the DLL may be unloaded.
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "frame/class_table.h"
#include "frame/module.h"
#include "frame/simple_object.h"

namespace zankit {
namespace {

class ClassFactory final : public SimpleObject<IClassFactory, IID_IClassFactory> {
public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}

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
    const ClassEntry& entry_;
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
