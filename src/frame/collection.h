// The ordered collection handed to hosts (file and folder name lists): Count, Item from 1
// (the default member), Add, and _NewEnum so that For Each and JScript's Enumerator work.
#pragma once

#include <windows.h>

#include <vector>

#include "frame/dispatch_object.h"
#include "frame/variant.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class Collection final : public DispatchObject<_ZanCollection> {
public:
    Collection();

    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP get_Item(VARIANT index, VARIANT* item) override;
    STDMETHODIMP Add(VARIANT item) override;
    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override;

    // For the library's own use: appends a string without going through a VARIANT.
    HRESULT AddString(std::wstring_view text);

private:
    std::vector<Variant> items_;
};

// A new, empty collection with one reference for the caller.
HRESULT CreateCollection(Collection** out);

}  // namespace zankit
