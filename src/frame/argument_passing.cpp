#include "frame/argument_passing.h"

#include <oleauto.h>

#include <cstring>

namespace zankit {
namespace {

// Follows VT_BYREF|VT_VARIANT chains to the value they end in (nullptr for a broken chain).
const VARIANT* Dereferenced(const VARIANT* source) {
    const VARIANT* current = source;
    while (current && V_VT(current) == (VT_BYREF | VT_VARIANT)) current = V_VARIANTREF(current);
    return current;
}

HRESULT CoerceTo(const VARIANT* source, VARTYPE vt, VARIANT* target) {
    const VARIANT* value = Dereferenced(source);
    if (!value) return DISP_E_TYPEMISMATCH;
    // The value already has the type (the usual case): one copy, no conversion.
    if (vt == VT_VARIANT || (V_VT(value) & ~VT_BYREF) == vt) {
        return VariantCopyInd(target, const_cast<VARIANT*>(value));
    }
    HRESULT hr = VariantChangeType(target, const_cast<VARIANT*>(value), 0, vt);
    if (hr == DISP_E_OVERFLOW) return hr;
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

bool IsOmitted(const ParamPlan& param, const VARIANT* argument) {
    if (!argument) return true;
    return param.shape.vt != VT_VARIANT && V_VT(argument) == VT_ERROR && V_ERROR(argument) == DISP_E_PARAMNOTFOUND;
}

// The caller's reference can go to the member as it is: a script variable for a Variant
// parameter, or a reference of exactly the parameter's type.
bool PassesReferenceThrough(const ParamShape& shape, const VARIANT* argument) {
    return shape.byRef && V_VT(argument) == (VT_BYREF | shape.vt);
}

void* ValueAddress(VARIANT* v) { return &V_BSTR(v); }  // every union member starts here

// Hands the slot's own value to the member in the form its parameter takes.
void PointAtValue(const ParamShape& shape, CallSlot& slot) {
    if (shape.byRef) {
        V_VT(&slot.carrier) = VT_BYREF | shape.vt;
        V_BYREF(&slot.carrier) =
            shape.vt == VT_VARIANT ? static_cast<void*>(slot.value.Get()) : ValueAddress(slot.value.Get());
        slot.callType = VT_BYREF | shape.vt;
        slot.passed = &slot.carrier;
    } else if (shape.vt == VT_VARIANT) {
        slot.callType = VT_VARIANT;
        slot.passed = slot.value.Get();
    } else {
        slot.carrier = *slot.value.Get();  // a shallow view; slot.value keeps ownership
        slot.callType = shape.vt;
        slot.passed = &slot.carrier;
    }
}

bool IsScalar(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL:
        case VT_BOOL:
        case VT_BSTR:
            return true;
        default:
            return false;
    }
}

bool SameValue(const VARIANT* a, const VARIANT* b) {
    if (V_VT(a) != V_VT(b)) return false;
    if (V_VT(a) == VT_BSTR) {
        UINT length = SysStringLen(V_BSTR(a));
        return length == SysStringLen(V_BSTR(b)) &&
               (length == 0 || std::memcmp(V_BSTR(a), V_BSTR(b), length * sizeof(OLECHAR)) == 0);
    }
    return VarCmp(const_cast<VARIANT*>(a), const_cast<VARIANT*>(b), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
}

// The value in the variable's own type, when it fits there without loss.
bool ConvertWithoutLoss(const VARIANT* value, VARTYPE variableType, Variant& converted) {
    if (!IsScalar(variableType) || !IsScalar(V_VT(value))) return false;
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(value), 0, variableType))) return false;
    Variant back;
    if (FAILED(VariantChangeType(back.Get(), converted.Get(), 0, V_VT(value)))) return false;
    return SameValue(back.Get(), value);
}

void StoreInVariable(VARIANT* variable, const VARIANT* value) {
    Variant converted;
    if (V_VT(variable) != V_VT(value) && ConvertWithoutLoss(value, V_VT(variable), converted)) {
        VariantClear(variable);
        converted.MoveTo(variable);
        return;
    }
    Variant copy;
    if (FAILED(VariantCopy(copy.Get(), const_cast<VARIANT*>(value)))) return;
    VariantClear(variable);
    copy.MoveTo(variable);
}

// A typed reference (VB passing ByRef String, say): convert to its type and store.
void StoreInTypedReference(VARIANT* reference, const VARIANT* value) {
    const VARTYPE typed = V_VT(reference) & ~VT_BYREF;
    void* destination = V_BYREF(reference);
    Variant converted;
    if (!destination || FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(value), 0, typed))) return;
    VARIANT* from = converted.Get();
    switch (typed) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(destination));
            *static_cast<BSTR*>(destination) = V_BSTR(from);
            V_VT(from) = VT_EMPTY;  // ownership moved
            break;
        case VT_BOOL:
            *static_cast<VARIANT_BOOL*>(destination) = V_BOOL(from);
            break;
        case VT_I2:
            *static_cast<SHORT*>(destination) = V_I2(from);
            break;
        case VT_I4:
            *static_cast<LONG*>(destination) = V_I4(from);
            break;
        case VT_UI1:
            *static_cast<BYTE*>(destination) = V_UI1(from);
            break;
        case VT_R4:
            *static_cast<FLOAT*>(destination) = V_R4(from);
            break;
        case VT_R8:
            *static_cast<DOUBLE*>(destination) = V_R8(from);
            break;
        case VT_DATE:
            *static_cast<DATE*>(destination) = V_DATE(from);
            break;
        case VT_CY:
            *static_cast<CY*>(destination) = V_CY(from);
            break;
        default:
            break;
    }
}

}  // namespace

HRESULT PrepareArgument(const ParamPlan& param, VARIANT* argument, CallSlot& slot) {
    const ParamShape& shape = param.shape;
    if (IsOmitted(param, argument)) {
        if (!param.optional) return DISP_E_PARAMNOTOPTIONAL;
        HRESULT hr = CoerceTo(param.fallback.Get(), shape.vt, slot.value.Get());
        if (FAILED(hr)) return hr;
    } else if (PassesReferenceThrough(shape, argument)) {
        V_VT(&slot.carrier) = V_VT(argument);
        V_BYREF(&slot.carrier) = V_BYREF(argument);
        slot.callType = V_VT(argument);
        slot.passed = &slot.carrier;
        return S_OK;
    } else {
        HRESULT hr = CoerceTo(argument, shape.vt, slot.value.Get());
        if (FAILED(hr)) return hr;
        slot.callerArgument = argument;
        slot.writeBack = shape.byRef && (V_VT(argument) & VT_BYREF);
    }
    PointAtValue(shape, slot);
    return S_OK;
}

void PrepareRetval(VARTYPE type, CallSlot& slot) { PointAtValue(ParamShape{true, type}, slot); }

void WriteBack(VARIANT* argument, const VARIANT* value) {
    VARIANT* target = argument;
    while (V_VT(target) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(target) && (V_VT(V_VARIANTREF(target)) & VT_BYREF)) {
        target = V_VARIANTREF(target);
    }
    if (V_VT(target) == (VT_BYREF | VT_VARIANT)) {
        if (V_VARIANTREF(target)) StoreInVariable(V_VARIANTREF(target), value);
    } else if (V_VT(target) & VT_BYREF) {
        StoreInTypedReference(target, value);
    }
}

}  // namespace zankit
