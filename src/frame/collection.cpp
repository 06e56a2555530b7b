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

}  // namespace

Collection::Collection() : DispatchObject(IID__ZanCollection, L"ZanKit.Collection") {}

STDMETHODIMP Collection::get_Count(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(items_.size());
    return S_OK;
}

STDMETHODIMP Collection::get_Item(VARIANT index, VARIANT* item) {
    if (!item) return E_POINTER;
    VariantInit(item);
    Variant number;
    if (FAILED(VariantChangeType(number.Get(), &index, 0, VT_I4))) {
        return Raise(VbError(5), L"Invalid procedure call or argument");
    }
    LONG position = V_I4(number.Get());
    if (position < 1 || static_cast<size_t>(position) > items_.size()) {
        return Raise(VbError(9), L"Subscript out of range");
    }
    return VariantCopy(item, items_[static_cast<size_t>(position - 1)].Get());
}

STDMETHODIMP Collection::Add(VARIANT item) {
    return Guarded([&] {
        Variant copy;
        HRESULT hr = VariantCopyInd(copy.Get(), &item);
        if (FAILED(hr)) return hr;
        items_.push_back(std::move(copy));
        return S_OK;
    });
}

HRESULT Collection::AddString(std::wstring_view text) {
    return Guarded([&] {
        Variant value;
        V_VT(value.Get()) = VT_BSTR;
        HRESULT hr = ToBstr(text, &V_BSTR(value.Get()));
        if (FAILED(hr)) {
            V_VT(value.Get()) = VT_EMPTY;
            return hr;
        }
        items_.push_back(std::move(value));
        return S_OK;
    });
}

STDMETHODIMP Collection::get__NewEnum(IUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return Guarded([&] {
        std::vector<Variant> snapshot;
        snapshot.reserve(items_.size());
        for (Variant& value : items_) {
            Variant item;
            HRESULT hr = VariantCopy(item.Get(), value.Get());
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
