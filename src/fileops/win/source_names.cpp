#include "fileops/win/source_names.h"

#include <oleauto.h>

#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/variant.h"

namespace zankit::fileops {
namespace {

SourceNames Fails(int runTimeError, const wchar_t* description) {
    SourceNames failed;
    failed.error = VbError(runTimeError);
    failed.description = description;
    return failed;
}

// One value as text, the way the run time converts it for a string: Null and values
// without a text form are refused.
bool AppendText(const VARIANT* value, std::vector<std::wstring>& names, SourceNames& failure) {
    if (V_VT(value) == VT_NULL) {
        failure = Fails(94, L"Invalid use of Null");
        return false;
    }
    Variant text;
    if (FAILED(VariantChangeTypeEx(text.Get(), const_cast<VARIANT*>(value), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL,
                                   VT_BSTR))) {
        failure = Fails(13, L"Type mismatch");
        return false;
    }
    names.push_back(FromBstr(V_BSTR(text.Get())));
    return true;
}

// Reads element `index` of a one-dimensional array of `elementType` into a Variant.
HRESULT ReadElement(SAFEARRAY* array, VARTYPE elementType, LONG index, Variant& element) {
    element.Clear();
    VARIANT* slot = element.Get();
    switch (elementType) {
        case VT_VARIANT:
            return SafeArrayGetElement(array, &index, slot);
        case VT_DECIMAL: {
            // A DECIMAL fills the whole VARIANT, its first field overlapping the type.
            HRESULT hr = SafeArrayGetElement(array, &index, &V_DECIMAL(slot));
            V_VT(slot) = VT_DECIMAL;
            return hr;
        }
        case VT_RECORD:
            return DISP_E_TYPEMISMATCH;
        default: {
            // Every other element type fits the VARIANT's value field; strings and objects
            // are copied (with their own reference) by SafeArrayGetElement.
            if (SafeArrayGetElemsize(array) > sizeof(slot->llVal)) return DISP_E_TYPEMISMATCH;
            HRESULT hr = SafeArrayGetElement(array, &index, &slot->llVal);
            if (SUCCEEDED(hr)) V_VT(slot) = elementType;
            return hr;
        }
    }
}

SourceNames NamesOfArray(SAFEARRAY* array, VARTYPE elementType) {
    if (!array || SafeArrayGetDim(array) != 1) return Fails(9, L"Subscript out of range");
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    SourceNames result;
    if (upper >= lower) result.names.reserve(static_cast<size_t>(static_cast<long long>(upper) - lower + 1));
    Variant element;
    for (long long index = lower; index <= upper; ++index) {
        if (FAILED(ReadElement(array, elementType, static_cast<LONG>(index), element)))
            return Fails(13, L"Type mismatch");
        if (!AppendText(element.Get(), result.names, result)) return result;
    }
    return result;
}

// The dispatch id of an object's member by name; false when the object has none.
bool MemberId(IDispatch* object, const std::wstring& name, DISPID& id) {
    std::wstring nameCopy = name;
    LPOLESTR names[] = {nameCopy.data()};
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

// Reads a property of an object by name; false when the object has none.
bool PropertyOf(IDispatch* object, const std::wstring& name, Variant& value) {
    DISPID id = 0;
    if (!MemberId(object, name, id)) return false;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    value.Clear();
    return SUCCEEDED(
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr, nullptr));
}

bool HasMember(IDispatch* object, const wchar_t* name) {
    DISPID id = 0;
    return MemberId(object, name, id);
}

// A JScript array reaches a member as an object with a "length" and the elements "0", "1",
// ...; its text would be the names joined by commas, so its elements are taken instead.
// Other objects have a "length" too (a String object, a caller's own object): only one with
// the array methods "join" and "push" is taken apart, any other is one name, by its text.
bool IsScriptArray(IDispatch* object, LONG& length) {
    Variant value;
    if (!object || !HasMember(object, L"join") || !HasMember(object, L"push")) return false;
    if (!PropertyOf(object, L"length", value)) return false;
    if (FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_I4))) return false;
    length = V_I4(value.Get());
    return length >= 0;
}

SourceNames NamesOfScriptArray(IDispatch* object, LONG length) {
    SourceNames result;
    result.names.reserve(static_cast<size_t>(length));
    Variant element;
    for (LONG index = 0; index < length; ++index) {
        // A hole in the array is an empty name.
        if (!PropertyOf(object, std::to_wstring(index), element)) element.Clear();
        if (!AppendText(element.Get(), result.names, result)) return result;
    }
    return result;
}

}  // namespace

SourceNames NamesOf(const VARIANT* value) {
    if (!value) return Fails(13, L"Type mismatch");
    while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) value = V_VARIANTREF(value);
    const VARTYPE type = V_VT(value);
    if (type & VT_ARRAY) {
        SAFEARRAY* array = (type & VT_BYREF) ? (V_ARRAYREF(value) ? *V_ARRAYREF(value) : nullptr) : V_ARRAY(value);
        return NamesOfArray(array, static_cast<VARTYPE>(type & VT_TYPEMASK));
    }
    Variant single;
    if (FAILED(VariantCopyInd(single.Get(), const_cast<VARIANT*>(value)))) return Fails(13, L"Type mismatch");
    LONG length = 0;
    if (V_VT(single.Get()) == VT_DISPATCH && IsScriptArray(V_DISPATCH(single.Get()), length))
        return NamesOfScriptArray(V_DISPATCH(single.Get()), length);
    SourceNames result;
    AppendText(single.Get(), result.names, result);
    return result;
}

}  // namespace zankit::fileops
