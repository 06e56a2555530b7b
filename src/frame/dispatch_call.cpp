#include "frame/dispatch_call.h"

#include <oleauto.h>

#include "frame/variant.h"

namespace zankit {

HRESULT InvokeMethod(IDispatch* target, DISPID id, VARIANT* args, UINT count) {
    if (!target) return E_POINTER;
    DISPPARAMS params = {args, nullptr, count, 0};
    Variant result;
    ScopedExcepInfo exception;
    UINT argError = 0;
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), exception.Get(),
                          &argError);
}

}  // namespace zankit
