#include "frame/app_object.h"

#include <new>

#include "frame/bstr.h"
#include "frame/dispatch_object.h"
#include "frame/module.h"
#include "frame/zankit_interfaces.h"

namespace zankit {
namespace {

constexpr LONG kMajor = 1;
constexpr LONG kMinor = 0;
constexpr LONG kRevision = 0;

class AppObject final : public DispatchObject<_ZanApp> {
public:
    AppObject() : DispatchObject(IID__ZanApp, L"ZanKit") {}

    STDMETHODIMP get_Title(BSTR* title) override { return ToBstr(L"ZanKit", title); }
    STDMETHODIMP get_EXEName(BSTR* name) override { return ToBstr(L"zankit", name); }
    STDMETHODIMP get_Path(BSTR* path) override { return ToBstr(ModuleFolder(), path); }
    STDMETHODIMP get_Major(LONG* value) override { return Number(kMajor, value); }
    STDMETHODIMP get_Minor(LONG* value) override { return Number(kMinor, value); }
    STDMETHODIMP get_Revision(LONG* value) override { return Number(kRevision, value); }

private:
    static HRESULT Number(LONG number, LONG* out) {
        if (!out) return E_POINTER;
        *out = number;
        return S_OK;
    }
};

}  // namespace

HRESULT CreateAppObject(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* app = new (std::nothrow) AppObject();
    if (!app) return E_OUTOFMEMORY;
    *out = static_cast<_ZanApp*>(app);
    return S_OK;
}

}  // namespace zankit
