// Automation strings: an owning BSTR wrapper and the conversions at the COM boundary
// (byte texts through frame/text_conversion.h).
// A null BSTR and an empty one are the same text everywhere.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "frame/text_conversion.h"

namespace zankit {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept;
    Bstr& operator=(Bstr&& other) noexcept;
    ~Bstr();

    BSTR Get() const { return value_; }
    BSTR Detach();
    BSTR* Put();
    // The address for an [in, out] argument: the callee may free the string and store another;
    // this object owns whatever is there afterwards.
    BSTR* InOut() { return &value_; }

private:
    BSTR value_ = nullptr;
};

// The text of a BSTR (null gives an empty string); embedded NULs are kept.
std::wstring FromBstr(BSTR value);

// A new BSTR for the caller to own; returns E_OUTOFMEMORY when allocation fails.
HRESULT ToBstr(std::wstring_view text, BSTR* out);

// Replaces the string a by-reference BSTR parameter holds.
HRESULT AssignBstr(BSTR* slot, std::wstring_view text);

}  // namespace zankit
