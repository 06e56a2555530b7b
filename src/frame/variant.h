// An owning VARIANT: cleared when it goes, so no value leaks on any path.
#pragma once

#include <windows.h>
#include <oleauto.h>

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

}  // namespace zankit
