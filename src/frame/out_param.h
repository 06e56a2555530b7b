// Writing a member's answer into the caller's out-parameter: E_POINTER for a missing one.
#pragma once

#include <windows.h>

#include <cstdint>

namespace zankit {

inline HRESULT PutFlag(VARIANT_BOOL* out, bool value) {
    if (!out) return E_POINTER;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

template <typename T>
HRESULT PutNumber(T* out, std::int32_t value) {
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

}  // namespace zankit
