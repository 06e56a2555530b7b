#include "frame/late_call.h"

#include <oleauto.h>

#include <algorithm>
#include <vector>

#include "frame/dispatch_call.h"
#include "frame/error_info.h"

namespace zankit {
namespace {

VARIANT OfType(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    return v;
}

CallOutcome Invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<VARIANT> args) {
    CallOutcome outcome;
    // DISPPARAMS holds the arguments last to first; the value of a property put (the last
    // argument) is named DISPID_PROPERTYPUT, as dispatch implementations require.
    std::vector<VARIANT> reversed(args.begin(), args.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPID putName = DISPID_PROPERTYPUT;
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0 && !reversed.empty();
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), put ? &putName : nullptr,
                         static_cast<UINT>(reversed.size()), put ? 1u : 0u};
    ScopedExcepInfo exception;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, outcome.result.Get(),
                                exception.Get(), nullptr);
    if (hr == DISP_E_EXCEPTION) {
        EXCEPINFO& info = *exception.Get();
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        outcome.hr = info.wCode ? VbError(info.wCode) : info.scode;
        if (!FAILED(outcome.hr)) outcome.hr = DISP_E_EXCEPTION;
        if (info.bstrSource) outcome.source.assign(info.bstrSource, SysStringLen(info.bstrSource));
        if (info.bstrDescription) outcome.description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
    } else if (FAILED(hr)) {
        outcome.hr = hr;
    }
    if (outcome.Failed()) outcome.result.Clear();
    return outcome;
}

}  // namespace

CallOutcome CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args) {
    if (!object) return FailedCall(E_POINTER);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return FailedCall(hr);
    return Invoke(object, id, flags, args);
}

CallOutcome CallDefault(IDispatch* object, WORD flags, std::initializer_list<VARIANT> args) {
    if (!object) return FailedCall(E_POINTER);
    return Invoke(object, DISPID_VALUE, flags, args);
}

CallOutcome FailedCall(HRESULT hr) {
    CallOutcome outcome;
    outcome.hr = hr;
    return outcome;
}

long ErrorNumberOf(HRESULT hr) {
    if ((static_cast<unsigned>(hr) & 0xFFFF0000u) == 0x800A0000u) return static_cast<long>(hr & 0xFFFF);
    if (hr == DISP_E_BADINDEX) return 9;
    return static_cast<long>(hr);
}

VARIANT TextArg(BSTR text) {
    VARIANT v = OfType(VT_BSTR);
    V_BSTR(&v) = text;
    return v;
}
VARIANT ShortArg(short number) {
    VARIANT v = OfType(VT_I2);
    V_I2(&v) = number;
    return v;
}
VARIANT LongArg(long number) {
    VARIANT v = OfType(VT_I4);
    V_I4(&v) = number;
    return v;
}
VARIANT BoolArg(bool flag) {
    VARIANT v = OfType(VT_BOOL);
    V_BOOL(&v) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
VARIANT ObjectArg(IDispatch* object) {
    VARIANT v = OfType(VT_DISPATCH);
    V_DISPATCH(&v) = object;
    return v;
}
VARIANT MissingArg() {
    VARIANT v = OfType(VT_ERROR);
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

}  // namespace zankit
