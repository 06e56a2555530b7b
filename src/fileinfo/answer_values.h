// Filling the Variant answer of a query member. Each setter replaces what the answer held;
// an answer never set stays Empty.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string_view>

#include "frame/variant.h"

namespace zankit::fileinfo {

inline void SetBool(Variant& answer, bool value) {
    answer.Clear();
    V_VT(answer.Get()) = VT_BOOL;
    V_BOOL(answer.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

inline void SetInteger(Variant& answer, short value) {
    answer.Clear();
    V_VT(answer.Get()) = VT_I2;
    V_I2(answer.Get()) = value;
}

inline void SetLong(Variant& answer, long value) {
    answer.Clear();
    V_VT(answer.Get()) = VT_I4;
    V_I4(answer.Get()) = value;
}

inline void SetDouble(Variant& answer, double value) {
    answer.Clear();
    V_VT(answer.Get()) = VT_R8;
    V_R8(answer.Get()) = value;
}

inline void SetDate(Variant& answer, double value) {
    answer.Clear();
    V_VT(answer.Get()) = VT_DATE;
    V_DATE(answer.Get()) = value;
}

inline void SetNull(Variant& answer) {
    answer.Clear();
    V_VT(answer.Get()) = VT_NULL;
}

inline void SetText(Variant& answer, std::wstring_view text) {
    answer.Clear();
    BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value) throw std::bad_alloc();
    V_VT(answer.Get()) = VT_BSTR;
    V_BSTR(answer.Get()) = value;
}

}  // namespace zankit::fileinfo
