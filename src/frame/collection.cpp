#include "frame/collection.h"

#include <new>

#include "frame/bstr.h"
#include "frame/simple_object.h"

namespace zankit {
namespace {

// Walks a snapshot of the collection's values, taken when the enumerator was made.
class VariantEnumerator final : public SimpleObject<IEnumVARIANT, IID_IEnumVARIANT> {
public:
    VariantEnumerator(std::vector<Variant> values, size_t position) : values_(std::move(values)), position_(position) {}

    STDMETHODIMP Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < values_.size()) {
            VariantInit(&out[given]);
            HRESULT hr = VariantCopy(&out[given], values_[position_].Get());
            if (FAILED(hr)) {
                for (ULONG i = 0; i < given; ++i) VariantClear(&out[i]);
                if (fetched) *fetched = 0;
                return hr;
            }
            ++given;
            ++position_;
        }
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = values_.size() - position_;
        if (count > left) {
            position_ = values_.size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::vector<Variant> copy;
        copy.reserve(values_.size());
        for (Variant& value : values_) {
            Variant item;
            HRESULT hr = VariantCopy(item.Get(), value.Get());
            if (FAILED(hr)) return hr;
            copy.push_back(std::move(item));
        }
        auto* clone = new (std::nothrow) VariantEnumerator(std::move(copy), position_);
        if (!clone) return E_OUTOFMEMORY;
        *out = clone;
        return S_OK;
    }

private:
    std::vector<Variant> values_;
    size_t position_;
};

HRESULT Dereference(const VARIANT& source, Variant& plain) {
    return VariantCopyInd(plain.Get(), const_cast<VARIANT*>(&source));
}

// Not given: omitted (VB, VBScript) or undefined (JScript).
bool IsGiven(const VARIANT& plain) {
    if (V_VT(&plain) == VT_EMPTY) return false;
    return !(V_VT(&plain) == VT_ERROR && V_ERROR(&plain) == DISP_E_PARAMNOTFOUND);
}

bool SameKey(std::wstring_view a, std::wstring_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace

Collection::Collection() : DispatchObject(IID__ZanCollection, L"ZanKit.Collection") {}

size_t Collection::FindKey(std::wstring_view key) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].hasKey && SameKey(entries_[i].key, key)) return i;
    }
    return entries_.size();
}

HRESULT Collection::Locate(const VARIANT& index, size_t* position) {
    Variant plain;
    if (FAILED(Dereference(index, plain))) return Raise(VbError(13), L"Type mismatch");
    if (V_VT(plain.Get()) == VT_BSTR) {
        *position = FindKey(FromBstr(V_BSTR(plain.Get())));
        if (*position == entries_.size()) return Raise(VbError(5), L"Invalid procedure call or argument");
        return S_OK;
    }
    Variant number;
    HRESULT hr = VariantChangeType(number.Get(), plain.Get(), 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) return Raise(VbError(9), L"Subscript out of range");
    if (FAILED(hr)) return Raise(VbError(13), L"Type mismatch");
    LONG n = V_I4(number.Get());
    if (n < 1 || static_cast<size_t>(n) > entries_.size()) return Raise(VbError(9), L"Subscript out of range");
    *position = static_cast<size_t>(n - 1);
    return S_OK;
}

STDMETHODIMP Collection::get_Count(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(entries_.size());
    return S_OK;
}

STDMETHODIMP Collection::get_Item(VARIANT index, VARIANT* item) {
    if (!item) return E_POINTER;
    VariantInit(item);
    size_t position = 0;
    HRESULT hr = Locate(index, &position);
    if (FAILED(hr)) return hr;
    return VariantCopy(item, entries_[position].value.Get());
}

STDMETHODIMP Collection::Add(VARIANT item, VARIANT key, VARIANT before, VARIANT after) {
    return Guarded([&]() -> HRESULT {
        Entry entry;
        HRESULT hr = Dereference(item, entry.value);
        if (FAILED(hr)) return hr;
        Variant keyValue, beforeValue, afterValue;
        if (FAILED(Dereference(key, keyValue)) || FAILED(Dereference(before, beforeValue)) ||
            FAILED(Dereference(after, afterValue))) {
            return Raise(VbError(13), L"Type mismatch");
        }
        if (IsGiven(*keyValue.Get())) {
            if (V_VT(keyValue.Get()) != VT_BSTR) return Raise(VbError(13), L"Type mismatch");
            entry.key = FromBstr(V_BSTR(keyValue.Get()));
            entry.hasKey = true;
            if (FindKey(entry.key) != entries_.size()) {
                return Raise(VbError(457), L"This key is already associated with an element of this collection");
            }
        }
        const bool hasBefore = IsGiven(*beforeValue.Get());
        const bool hasAfter = IsGiven(*afterValue.Get());
        if (hasBefore && hasAfter) return Raise(VbError(5), L"Invalid procedure call or argument");
        size_t insertAt = entries_.size();
        if (hasBefore || hasAfter) {
            hr = Locate(hasBefore ? *beforeValue.Get() : *afterValue.Get(), &insertAt);
            if (FAILED(hr)) return hr;
            if (hasAfter) ++insertAt;
        }
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
        return S_OK;
    });
}

HRESULT Collection::AddString(std::wstring_view text) {
    return Guarded([&] {
        Entry entry;
        SetString(entry.value, text);
        entries_.push_back(std::move(entry));
        return S_OK;
    });
}

STDMETHODIMP Collection::get__NewEnum(IUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return Guarded([&] {
        std::vector<Variant> snapshot;
        snapshot.reserve(entries_.size());
        for (Entry& entry : entries_) {
            Variant item;
            HRESULT hr = VariantCopy(item.Get(), entry.value.Get());
            if (FAILED(hr)) return hr;
            snapshot.push_back(std::move(item));
        }
        auto* walker = new (std::nothrow) VariantEnumerator(std::move(snapshot), 0);
        if (!walker) return static_cast<HRESULT>(E_OUTOFMEMORY);
        *enumerator = walker;
        return S_OK;
    });
}

HRESULT CreateCollection(Collection** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) Collection();
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zankit
