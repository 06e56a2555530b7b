#include "frame/type_library.h"

#include <oleauto.h>

#include <mutex>
#include <string>

#include "frame/com_ptr.h"
#include "frame/module.h"

namespace zankit {
namespace {

std::mutex g_lock;
ITypeLib* g_library = nullptr;  // kept for the life of the process

}  // namespace

HRESULT GetTypeLibrary(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_library) {
        std::wstring path = ModulePath();
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &g_library);
        if (FAILED(hr)) {
            g_library = nullptr;
            return hr;
        }
    }
    g_library->AddRef();
    *out = g_library;
    return S_OK;
}

HRESULT GetLibraryTypeInfo(REFGUID guid, ITypeInfo** out) {
    ComPtr<ITypeLib> library;
    HRESULT hr = GetTypeLibrary(library.Put());
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(guid, out);
}

}  // namespace zankit
