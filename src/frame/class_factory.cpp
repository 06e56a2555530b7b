#include "frame/class_factory.h"

#include <new>

#include "frame/module.h"
#include "frame/simple_object.h"

namespace zankit {
namespace {

class ClassFactory final : public SimpleObject<IClassFactory, IID_IClassFactory> {
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        zankit::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    CreateInstanceFn create_;
};

}  // namespace

HRESULT GetClassFactory(CreateInstanceFn create, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* factory = new (std::nothrow) ClassFactory(create);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

}  // namespace zankit
