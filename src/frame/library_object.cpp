#include "frame/library_object.h"

#include <objbase.h>

#include "frame/com_ptr.h"

namespace zankit {

HRESULT CreateLibraryObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = DllGetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, iid, out);
}

}  // namespace zankit
