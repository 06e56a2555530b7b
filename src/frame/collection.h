// The ordered collection handed to hosts (file and folder name lists). It follows the rules of
// the automation run time's collection: Item from 1 (the default member) by number, or by key
// when the index is a string; Add with an optional key (unique, compared without regard to
// case) and a Before or After position; Count; _NewEnum so that For Each and JScript's
// Enumerator work.
#pragma once

#include <windows.h>

#include <string>
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
    STDMETHODIMP Add(VARIANT item, VARIANT key, VARIANT before, VARIANT after) override;
    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override;

    // For the library's own use: appends a string without a key.
    HRESULT AddString(std::wstring_view text);

private:
    struct Entry {
        Variant value;
        bool hasKey = false;
        std::wstring key;
    };

    // The position (0-based) an index names: a number counts from 1, a string is a key.
    // Fails with the run-time error and its text.
    HRESULT Locate(const VARIANT& index, size_t* position);
    size_t FindKey(std::wstring_view key) const;  // entries_.size() when absent

    std::vector<Entry> entries_;
};

// A new, empty collection with one reference for the caller.
HRESULT CreateCollection(Collection** out);

}  // namespace zankit
