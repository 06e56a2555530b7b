#include "frame/dispatch_invoke.h"

#include <oleauto.h>

#include <cstring>
#include <vector>

#include "frame/com_ptr.h"
#include "frame/escaped_text.h"
#include "frame/variant.h"

namespace zankit {
namespace {

// {2E0B2D6A-6C1B-4A0F-9E55-7A4C3B1D9F01}: default text of an optional BSTR* parameter.
const GUID kStringDefaultGuid = {0x2e0b2d6a, 0x6c1b, 0x4a0f, {0x9e, 0x55, 0x7a, 0x4c, 0x3b, 0x1d, 0x9f, 0x01}};

class FuncDescHolder {
public:
    FuncDescHolder(ITypeInfo* info, FUNCDESC* desc, UINT index) : info_(info), desc_(desc), index_(index) {}
    FuncDescHolder(const FuncDescHolder&) = delete;
    FuncDescHolder& operator=(const FuncDescHolder&) = delete;
    ~FuncDescHolder() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    const FUNCDESC* operator->() const { return desc_; }
    UINT Index() const { return index_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_;
    UINT index_;
};

struct ParamShape {
    bool byRef = false;
    VARTYPE vt = VT_EMPTY;
};

bool KindFits(INVOKEKIND kind, WORD flags) {
    bool wantsPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (wantsPut) return kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF;
    return kind == INVOKE_FUNC || kind == INVOKE_PROPERTYGET;
}

// Higher is better: the invoke kind the caller named first, then the other readable one.
int KindScore(INVOKEKIND kind, WORD flags) {
    if ((flags & DISPATCH_METHOD) && kind == INVOKE_FUNC) return 3;
    if ((flags & DISPATCH_PROPERTYGET) && kind == INVOKE_PROPERTYGET) return 3;
    if ((flags & DISPATCH_PROPERTYPUT) && kind == INVOKE_PROPERTYPUT) return 3;
    if ((flags & DISPATCH_PROPERTYPUTREF) && kind == INVOKE_PROPERTYPUTREF) return 3;
    return 1;
}

HRESULT FindFunction(ITypeInfo* info, DISPID id, WORD flags, FUNCDESC** found, UINT* foundIndex) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    FUNCDESC* best = nullptr;
    UINT bestIndex = 0;
    int bestScore = 0;
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        int score = (desc->memid == id && KindFits(desc->invkind, flags)) ? KindScore(desc->invkind, flags) : 0;
        if (score > bestScore) {
            if (best) info->ReleaseFuncDesc(best);
            best = desc;
            bestIndex = i;
            bestScore = score;
        } else {
            info->ReleaseFuncDesc(desc);
        }
    }
    if (!best) return DISP_E_MEMBERNOTFOUND;
    *found = best;
    *foundIndex = bestIndex;
    return S_OK;
}

HRESULT ResolveUserType(ITypeInfo* info, HREFTYPE ref, VARTYPE* vt);

HRESULT ResolveBaseType(ITypeInfo* info, const TYPEDESC& desc, VARTYPE* vt) {
    switch (desc.vt) {
        case VT_USERDEFINED:
            return ResolveUserType(info, desc.hreftype, vt);
        case VT_INT:
            *vt = VT_I4;
            return S_OK;
        case VT_UINT:
            *vt = VT_UI4;
            return S_OK;
        case VT_PTR:
            // A pointer to an interface pointer: the interface itself is the value.
            if (desc.lptdesc->vt == VT_USERDEFINED) return ResolveUserType(info, desc.lptdesc->hreftype, vt);
            *vt = desc.lptdesc->vt;
            return S_OK;
        default:
            *vt = desc.vt;
            return S_OK;
    }
}

HRESULT ResolveUserType(ITypeInfo* info, HREFTYPE ref, VARTYPE* vt) {
    ComPtr<ITypeInfo> target;
    HRESULT hr = info->GetRefTypeInfo(ref, target.Put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = target->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    switch (attr->typekind) {
        case TKIND_ENUM:
            *vt = VT_I4;
            break;
        case TKIND_ALIAS:
            hr = ResolveBaseType(target.Get(), attr->tdescAlias, vt);
            break;
        case TKIND_DISPATCH:
            *vt = VT_DISPATCH;
            break;
        default:
            *vt = (attr->wTypeFlags & TYPEFLAG_FDUAL) ? VT_DISPATCH : VT_UNKNOWN;
            break;
    }
    target->ReleaseTypeAttr(attr);
    return hr;
}

HRESULT ShapeOf(ITypeInfo* info, const TYPEDESC& desc, ParamShape* shape) {
    if (desc.vt == VT_PTR) {
        shape->byRef = true;
        return ResolveBaseType(info, *desc.lptdesc, &shape->vt);
    }
    shape->byRef = false;
    return ResolveBaseType(info, desc, &shape->vt);
}

// Follows VT_BYREF|VT_VARIANT chains and copies the value they end in.
HRESULT CopyDereferenced(const VARIANT* source, VARIANT* target) {
    const VARIANT* current = source;
    while (V_VT(current) == (VT_BYREF | VT_VARIANT)) {
        current = V_VARIANTREF(current);
        if (!current) return DISP_E_TYPEMISMATCH;
    }
    return VariantCopyInd(target, const_cast<VARIANT*>(current));
}

HRESULT CoerceTo(const VARIANT* source, VARTYPE vt, VARIANT* target) {
    Variant plain;
    HRESULT hr = CopyDereferenced(source, plain.Get());
    if (FAILED(hr)) return hr;
    if (vt == VT_VARIANT) return VariantCopy(target, plain.Get());
    hr = VariantChangeType(target, plain.Get(), 0, vt);
    if (hr == DISP_E_OVERFLOW) return hr;
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

// Writes a member's by-reference result back into the caller's argument.
void WriteBack(VARIANT* argument, const VARIANT* value) {
    VARIANT* target = argument;
    while (V_VT(target) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(target) &&
           V_VT(V_VARIANTREF(target)) == (VT_BYREF | VT_VARIANT)) {
        target = V_VARIANTREF(target);
    }
    if (V_VT(target) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* slot = V_VARIANTREF(target);
        if (!slot) return;
        if (V_VT(slot) & VT_BYREF) {
            WriteBack(slot, value);
            return;
        }
        VariantClear(slot);
        VariantCopy(slot, const_cast<VARIANT*>(value));
        return;
    }
    if (!(V_VT(target) & VT_BYREF)) return;
    // A typed reference (VB passing ByRef String, say): convert to its type and store.
    VARTYPE typed = V_VT(target) & ~VT_BYREF;
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(value), 0, typed))) return;
    void* destination = V_BYREF(target);
    if (!destination) return;
    switch (typed) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(destination));
            *static_cast<BSTR*>(destination) = V_BSTR(converted.Get());
            V_VT(converted.Get()) = VT_EMPTY;  // ownership moved
            break;
        case VT_BOOL:
            *static_cast<VARIANT_BOOL*>(destination) = V_BOOL(converted.Get());
            break;
        case VT_I2:
            *static_cast<SHORT*>(destination) = V_I2(converted.Get());
            break;
        case VT_I4:
            *static_cast<LONG*>(destination) = V_I4(converted.Get());
            break;
        case VT_UI1:
            *static_cast<BYTE*>(destination) = V_UI1(converted.Get());
            break;
        case VT_R4:
            *static_cast<FLOAT*>(destination) = V_R4(converted.Get());
            break;
        case VT_R8:
            *static_cast<DOUBLE*>(destination) = V_R8(converted.Get());
            break;
        case VT_DATE:
            *static_cast<DATE*>(destination) = V_DATE(converted.Get());
            break;
        case VT_CY:
            *static_cast<CY*>(destination) = V_CY(converted.Get());
            break;
        default:
            break;
    }
}

HRESULT CustomStringDefault(ITypeInfo* info, UINT funcIndex, UINT paramIndex, VARIANT* out) {
    ComPtr<ITypeInfo2> info2;
    if (FAILED(info->QueryInterface(IID_ITypeInfo2, info2.PutVoid()))) return E_NOINTERFACE;
    HRESULT hr = info2->GetParamCustData(funcIndex, paramIndex, kStringDefaultGuid, out);
    if (FAILED(hr)) return hr;
    if (V_VT(out) != VT_BSTR) return DISP_E_PARAMNOTFOUND;
    const BSTR stored = V_BSTR(out);
    std::wstring text = UnescapeUnicode(std::wstring_view(stored, SysStringLen(stored)));
    BSTR unescaped = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!unescaped) return E_OUTOFMEMORY;
    SysFreeString(stored);
    V_BSTR(out) = unescaped;
    return S_OK;
}

// One actual argument as DispCallFunc takes it.
struct CallSlot {
    Variant value;         // the coerced value (or the default)
    VARIANT carrier = {};  // a reference to the value, or a shallow view of a plain value
    VARTYPE callType = VT_EMPTY;
    VARIANTARG* passed = nullptr;       // what DispCallFunc reads
    VARIANT* callerArgument = nullptr;  // write back into this after the call
    bool writeBack = false;
};

void* ValueAddress(VARIANT* v) { return &V_BSTR(v); }  // every union member starts here

}  // namespace

HRESULT GetVtableTypeInfo(ITypeInfo* dispatchInfo, ITypeInfo** out) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = dispatchInfo->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    bool isDualDispatch = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    dispatchInfo->ReleaseTypeAttr(attr);
    if (!isDualDispatch) {
        dispatchInfo->AddRef();
        *out = dispatchInfo;
        return S_OK;
    }
    HREFTYPE ref = 0;
    hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (FAILED(hr)) return hr;
    return dispatchInfo->GetRefTypeInfo(ref, out);
}

HRESULT InvokeMember(void* instance, ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError) {
    static DISPPARAMS noParams = {nullptr, nullptr, 0, 0};
    if (!params) params = &noParams;
    if (params->cArgs < params->cNamedArgs) return E_INVALIDARG;

    FUNCDESC* rawDesc = nullptr;
    UINT funcIndex = 0;
    HRESULT hr = FindFunction(info, id, flags, &rawDesc, &funcIndex);
    if (hr == DISP_E_MEMBERNOTFOUND && id == DISPID_NEWENUM) {
        hr = FindFunction(info, id, DISPATCH_PROPERTYGET, &rawDesc, &funcIndex);
    }
    if (FAILED(hr)) return hr;
    FuncDescHolder desc(info, rawDesc, funcIndex);

    const UINT paramCount = static_cast<UINT>(desc->cParams);
    UINT formalCount = paramCount;
    bool hasRetval =
        paramCount > 0 && (desc->lprgelemdescParam[paramCount - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    if (hasRetval) --formalCount;
    const bool isPut = desc->invkind == INVOKE_PROPERTYPUT || desc->invkind == INVOKE_PROPERTYPUTREF;

    // Which caller argument (index into rgvarg) feeds each formal parameter.
    const UINT positional = params->cArgs - params->cNamedArgs;
    if (positional > formalCount) return DISP_E_BADPARAMCOUNT;
    std::vector<int> source(formalCount, -1);
    for (UINT i = 0; i < positional; ++i) source[i] = static_cast<int>(params->cArgs - 1 - i);
    for (UINT k = 0; k < params->cNamedArgs; ++k) {
        DISPID named = params->rgdispidNamedArgs[k];
        if (named == DISPID_PROPERTYPUT && isPut && formalCount > 0) named = static_cast<DISPID>(formalCount - 1);
        if (named < 0 || static_cast<UINT>(named) >= formalCount) return DISP_E_PARAMNOTFOUND;
        source[static_cast<UINT>(named)] = static_cast<int>(k);
    }

    std::vector<CallSlot> slots(paramCount);
    for (UINT i = 0; i < formalCount; ++i) {
        const ELEMDESC& elem = desc->lprgelemdescParam[i];
        ParamShape shape;
        hr = ShapeOf(info, elem.tdesc, &shape);
        if (FAILED(hr)) return hr;
        CallSlot& slot = slots[i];
        VARIANT* argument = source[i] >= 0 ? &params->rgvarg[source[i]] : nullptr;
        bool omitted = !argument || (shape.vt != VT_VARIANT && V_VT(argument) == VT_ERROR &&
                                     V_ERROR(argument) == DISP_E_PARAMNOTFOUND);
        if (omitted) {
            const USHORT paramFlags = elem.paramdesc.wParamFlags;
            if (!(paramFlags & PARAMFLAG_FOPT)) return DISP_E_PARAMNOTOPTIONAL;
            Variant fallback;
            if ((paramFlags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
                VariantCopy(fallback.Get(), &elem.paramdesc.pparamdescex->varDefaultValue);
            } else if (FAILED(CustomStringDefault(info, funcIndex, i, fallback.Get()))) {
                fallback.Clear();
                if (shape.vt == VT_VARIANT) {
                    V_VT(fallback.Get()) = VT_ERROR;
                    V_ERROR(fallback.Get()) = DISP_E_PARAMNOTFOUND;
                }
            }
            hr = CoerceTo(fallback.Get(), shape.vt, slot.value.Get());
            if (FAILED(hr)) return hr;
        } else if (shape.byRef && shape.vt == VT_VARIANT && V_VT(argument) == (VT_BYREF | VT_VARIANT)) {
            V_VT(&slot.carrier) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&slot.carrier) = V_VARIANTREF(argument);
            slot.callType = VT_BYREF | VT_VARIANT;
            slot.passed = &slot.carrier;
            continue;
        } else if (shape.byRef && shape.vt != VT_VARIANT && V_VT(argument) == (VT_BYREF | shape.vt)) {
            V_VT(&slot.carrier) = VT_BYREF | shape.vt;
            V_BYREF(&slot.carrier) = V_BYREF(argument);
            slot.callType = VT_BYREF | shape.vt;
            slot.passed = &slot.carrier;
            continue;
        } else {
            hr = CoerceTo(argument, shape.vt, slot.value.Get());
            if (FAILED(hr)) {
                if (argError) *argError = static_cast<UINT>(source[i]);
                return hr;
            }
            slot.callerArgument = argument;
            slot.writeBack = shape.byRef && (V_VT(argument) & VT_BYREF);
        }
        if (shape.byRef) {
            V_VT(&slot.carrier) = VT_BYREF | shape.vt;
            V_BYREF(&slot.carrier) =
                shape.vt == VT_VARIANT ? static_cast<void*>(slot.value.Get()) : ValueAddress(slot.value.Get());
            slot.callType = VT_BYREF | shape.vt;
            slot.passed = &slot.carrier;
        } else if (shape.vt == VT_VARIANT) {
            slot.callType = VT_VARIANT;
            slot.passed = slot.value.Get();
        } else {
            slot.carrier = *slot.value.Get();  // a shallow view; slot.value keeps ownership
            slot.callType = shape.vt;
            slot.passed = &slot.carrier;
        }
    }

    VARTYPE retvalType = VT_EMPTY;
    if (hasRetval) {
        ParamShape shape;
        hr = ShapeOf(info, desc->lprgelemdescParam[paramCount - 1].tdesc, &shape);
        if (FAILED(hr)) return hr;
        retvalType = shape.vt;
        CallSlot& slot = slots[paramCount - 1];
        V_VT(&slot.carrier) = VT_BYREF | retvalType;
        V_BYREF(&slot.carrier) =
            retvalType == VT_VARIANT ? static_cast<void*>(slot.value.Get()) : ValueAddress(slot.value.Get());
        slot.callType = VT_BYREF | retvalType;
        slot.passed = &slot.carrier;
    }

    std::vector<VARTYPE> types(paramCount);
    std::vector<VARIANTARG*> pointers(paramCount);
    for (UINT i = 0; i < paramCount; ++i) {
        types[i] = slots[i].callType;
        pointers[i] = slots[i].passed;
    }

    SetErrorInfo(0, nullptr);
    VARIANT returned;
    VariantInit(&returned);
    // The HRESULT comes back as VT_ERROR (Wine's DispCallFunc refuses VT_HRESULT as a return type).
    hr = DispCallFunc(instance, desc->oVft, desc->callconv, VT_ERROR, paramCount, types.data(), pointers.data(),
                      &returned);
    if (FAILED(hr)) return hr;
    HRESULT memberResult = V_ERROR(&returned);

    for (CallSlot& slot : slots) {
        if (slot.writeBack) WriteBack(slot.callerArgument, slot.value.Get());
    }

    if (FAILED(memberResult)) {
        if (!exception) return memberResult;
        std::memset(exception, 0, sizeof(*exception));
        ComPtr<IErrorInfo> error;
        if (GetErrorInfo(0, error.Put()) == S_OK && error) {
            error->GetSource(&exception->bstrSource);
            error->GetDescription(&exception->bstrDescription);
            error->GetHelpFile(&exception->bstrHelpFile);
            error->GetHelpContext(&exception->dwHelpContext);
        }
        exception->scode = memberResult;
        return DISP_E_EXCEPTION;
    }

    if (hasRetval) {
        Variant& value = slots[paramCount - 1].value;
        if (retvalType != VT_VARIANT) V_VT(value.Get()) = retvalType;
        if (result) {
            VariantInit(result);
            value.MoveTo(result);
        }
    } else if (result) {
        VariantInit(result);
    }
    return S_OK;
}

}  // namespace zankit
