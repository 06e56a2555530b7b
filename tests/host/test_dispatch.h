// TestDispatch: a late-bound automation object whose members all go to one lambda. It stands in
// for the outside objects a host hands to the library (image lists, a failing request object).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/com_ptr.h"

namespace hosttest {

// What a member throws to fail: the HRESULT and its description (source "TestDispatch").
struct Raised {
    HRESULT hr;
    std::wstring description;
};

using Args = std::vector<VARIANT*>;  // first to last, references to variants followed

class TestDispatch final : public IDispatch {
public:
    // The first name is also the default member (DISPID_VALUE). The member sets *result or throws.
    using Member = std::function<void(const std::wstring& name, const Args& args, VARIANT* result)>;
    static zankit::ComPtr<IDispatch> Make(std::vector<std::wstring> names, Member member) {
        return zankit::ComPtr<IDispatch>::Adopt(new TestDispatch(std::move(names), std::move(member)));
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        if (*out) AddRef();
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        ids[0] = DISPID_UNKNOWN;
        for (size_t i = 0; i < names_.size(); ++i) {
            if (_wcsicmp(names_[i].c_str(), names[0]) == 0) ids[0] = static_cast<DISPID>(i);
        }
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT*) override {
        if (id < 0 || static_cast<size_t>(id) >= names_.size()) return DISP_E_MEMBERNOTFOUND;
        Args args;
        for (UINT i = params->cArgs; i > 0; --i) {
            VARIANT* arg = &params->rgvarg[i - 1];
            while (V_VT(arg) == (VT_BYREF | VT_VARIANT)) arg = V_VARIANTREF(arg);
            args.push_back(arg);
        }
        VARIANT ignored;
        VariantInit(&ignored);
        try {
            member_(names_[id], args, result ? result : &ignored);
            VariantClear(&ignored);
            return S_OK;
        } catch (const Raised& raised) {
            if (!exception) return raised.hr;
            *exception = {};
            exception->scode = raised.hr;
            exception->bstrSource = SysAllocString(L"TestDispatch");
            exception->bstrDescription = SysAllocString(raised.description.c_str());
            return DISP_E_EXCEPTION;
        } catch (...) {
            return DISP_E_BADPARAMCOUNT;  // the member read an argument that was not given
        }
    }

private:
    TestDispatch(std::vector<std::wstring> names, Member member)
        : names_(std::move(names)), member_(std::move(member)) {}
    ~TestDispatch() = default;
    std::vector<std::wstring> names_;
    Member member_;
    ULONG references_ = 1;
};

// An argument converted as VB converts it; a failure raises "Type mismatch".
inline VARIANT Converted(VARIANT* value, VARTYPE vt) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, value, 0, vt)))
        throw Raised{static_cast<HRESULT>(0x800A000D), L"Type mismatch"};
    return converted;
}
inline std::wstring TextOf(VARIANT* value) {
    VARIANT converted = Converted(value, VT_BSTR);
    std::wstring text(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    VariantClear(&converted);
    return text;
}
inline long LongOf(VARIANT* value) {
    VARIANT converted = Converted(value, VT_I4);
    return V_I4(&converted);
}
inline void SetLong(VARIANT* result, long number) {
    V_VT(result) = VT_I4;
    V_I4(result) = number;
}
inline void SetObject(VARIANT* result, IDispatch* object) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    object->AddRef();
}

}  // namespace hosttest
