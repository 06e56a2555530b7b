// An owning VARIANT (cleared when it goes, so no value leaks on any path) and typed setters
// for VARIANT results: each setter clears what the VARIANT held before storing the value.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string_view>

namespace zankit {

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    ~Variant() { VariantClear(&value_); }

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    void Clear() { VariantClear(&value_); }
    // Hands the value to a caller-owned VARIANT (which must be empty) and leaves this Empty.
    void MoveTo(VARIANT* out) {
        *out = value_;
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

inline void SetEmpty(VARIANT* target) { VariantClear(target); }

inline void SetNull(VARIANT* target) {
    VariantClear(target);
    V_VT(target) = VT_NULL;
}

inline void SetBool(VARIANT* target, bool value) {
    VariantClear(target);
    V_VT(target) = VT_BOOL;
    V_BOOL(target) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

inline void SetInteger(VARIANT* target, short value) {
    VariantClear(target);
    V_VT(target) = VT_I2;
    V_I2(target) = value;
}

inline void SetLong(VARIANT* target, long value) {
    VariantClear(target);
    V_VT(target) = VT_I4;
    V_I4(target) = value;
}

inline void SetDouble(VARIANT* target, double value) {
    VariantClear(target);
    V_VT(target) = VT_R8;
    V_R8(target) = value;
}

inline void SetDate(VARIANT* target, double value) {
    VariantClear(target);
    V_VT(target) = VT_DATE;
    V_DATE(target) = value;
}

// Throws std::bad_alloc when the string cannot be allocated (Guarded turns it into an error);
// the target is Empty then.
inline void SetString(VARIANT* target, std::wstring_view text) {
    VariantClear(target);
    BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value) throw std::bad_alloc();
    V_VT(target) = VT_BSTR;
    V_BSTR(target) = value;
}

// Takes over one reference of the caller.
inline void SetDispatch(VARIANT* target, IDispatch* object) {
    VariantClear(target);
    V_VT(target) = VT_DISPATCH;
    V_DISPATCH(target) = object;
}

// The same setters on an owning Variant.
inline void SetEmpty(Variant& target) { SetEmpty(target.Get()); }
inline void SetNull(Variant& target) { SetNull(target.Get()); }
inline void SetBool(Variant& target, bool value) { SetBool(target.Get(), value); }
inline void SetInteger(Variant& target, short value) { SetInteger(target.Get(), value); }
inline void SetLong(Variant& target, long value) { SetLong(target.Get(), value); }
inline void SetDouble(Variant& target, double value) { SetDouble(target.Get(), value); }
inline void SetDate(Variant& target, double value) { SetDate(target.Get(), value); }
inline void SetString(Variant& target, std::wstring_view text) { SetString(target.Get(), text); }
inline void SetDispatch(Variant& target, IDispatch* object) { SetDispatch(target.Get(), object); }

}  // namespace zankit
