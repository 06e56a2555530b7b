#include "frame/bstr.h"

#include <utility>

namespace zankit {

Bstr::Bstr(std::wstring_view text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr::Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        SysFreeString(value_);
        value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
}

Bstr::~Bstr() { SysFreeString(value_); }

BSTR Bstr::Detach() { return std::exchange(value_, nullptr); }

BSTR* Bstr::Put() {
    SysFreeString(std::exchange(value_, nullptr));
    return &value_;
}

std::wstring FromBstr(BSTR value) {
    if (!value) return {};
    return std::wstring(value, SysStringLen(value));
}

HRESULT ToBstr(std::wstring_view text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT AssignBstr(BSTR* slot, std::wstring_view text) {
    if (!slot) return E_POINTER;
    BSTR fresh = nullptr;
    HRESULT hr = ToBstr(text, &fresh);
    if (FAILED(hr)) return hr;
    SysFreeString(*slot);
    *slot = fresh;
    return S_OK;
}

}  // namespace zankit
