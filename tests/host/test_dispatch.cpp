#include "test_dispatch.h"

#include <oleauto.h>

namespace hosttest {

zankit::ComPtr<TestDispatch> TestDispatch::Make() { return zankit::ComPtr<TestDispatch>::Adopt(new TestDispatch()); }

void TestDispatch::Define(const std::wstring& name, Member member) {
    members_.push_back({name, static_cast<DISPID>(members_.size() + 1), std::move(member)});
}
void TestDispatch::DefineDefault(const std::wstring& name, Member member) {
    members_.push_back({name, DISPID_VALUE, std::move(member)});
}

STDMETHODIMP TestDispatch::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}
STDMETHODIMP_(ULONG) TestDispatch::AddRef() { return ++references_; }
STDMETHODIMP_(ULONG) TestDispatch::Release() {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}
STDMETHODIMP TestDispatch::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}
STDMETHODIMP TestDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP TestDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1) return DISP_E_UNKNOWNNAME;
    for (const Entry& entry : members_) {
        if (_wcsicmp(entry.name.c_str(), names[0]) == 0) {
            ids[0] = entry.id;
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP TestDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT*) {
    for (Entry& entry : members_) {
        if (entry.id != id) continue;
        std::vector<VARIANT*> args;
        for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
        VARIANT ignored;
        VariantInit(&ignored);
        try {
            entry.member(args, result ? result : &ignored);
        } catch (const Raised& raised) {
            VariantClear(&ignored);
            if (!exception) return raised.hr;
            *exception = {};
            exception->scode = raised.hr;
            exception->bstrSource = SysAllocString(L"TestDispatch");
            exception->bstrDescription = SysAllocString(raised.description.c_str());
            return DISP_E_EXCEPTION;
        } catch (...) {
            VariantClear(&ignored);
            return DISP_E_BADPARAMCOUNT;  // a member read an argument that was not given
        }
        VariantClear(&ignored);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

namespace {
VARIANT Converted(const VARIANT* value, VARTYPE vt) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, vt))) {
        throw Raised{static_cast<HRESULT>(0x800A000D), L"Type mismatch"};
    }
    return converted;
}
const VARIANT* Plain(const VARIANT* value) {
    while (V_VT(value) == (VT_BYREF | VT_VARIANT)) value = V_VARIANTREF(value);
    return value;
}
}  // namespace

std::wstring TextOf(const VARIANT* value) {
    VARIANT converted = Converted(Plain(value), VT_BSTR);
    std::wstring text(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    VariantClear(&converted);
    return text;
}
long LongOf(const VARIANT* value) {
    VARIANT converted = Converted(Plain(value), VT_I4);
    return V_I4(&converted);
}
IDispatch* ObjectOf(const VARIANT* value) {
    value = Plain(value);
    if (V_VT(value) == VT_DISPATCH) return V_DISPATCH(value);
    if (V_VT(value) == (VT_BYREF | VT_DISPATCH)) return *V_DISPATCHREF(value);
    return nullptr;
}
void SetText(VARIANT* result, const std::wstring& text) {
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
void SetLong(VARIANT* result, long number) {
    V_VT(result) = VT_I4;
    V_I4(result) = number;
}
void SetObject(VARIANT* result, IDispatch* object) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    if (object) object->AddRef();
}

}  // namespace hosttest
