#include "frame/member_plan.h"

#include <oleauto.h>

#include <string>

#include "frame/com_ptr.h"
#include "frame/escaped_text.h"
#include "frame/type_library.h"

namespace zankit {
namespace {

// {2E0B2D6A-6C1B-4A0F-9E55-7A4C3B1D9F01}: default text of an optional BSTR* parameter.
const GUID kStringDefaultGuid = {0x2e0b2d6a, 0x6c1b, 0x4a0f, {0x9e, 0x55, 0x7a, 0x4c, 0x3b, 0x1d, 0x9f, 0x01}};

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
    TypeAttributes attr(target.Get());
    if (!attr.Valid()) return TYPE_E_ELEMENTNOTFOUND;
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

// Custom data keeps the text escaped (type library strings are 8-bit).
HRESULT CustomStringDefault(ITypeInfo* info, UINT funcIndex, UINT paramIndex, VARIANT* out) {
    ComPtr<ITypeInfo2> info2;
    if (FAILED(info->QueryInterface(IID_ITypeInfo2, info2.PutVoid()))) return E_NOINTERFACE;
    Variant stored;
    HRESULT hr = info2->GetParamCustData(funcIndex, paramIndex, kStringDefaultGuid, stored.Get());
    if (FAILED(hr)) return hr;
    if (V_VT(stored.Get()) != VT_BSTR) return DISP_E_PARAMNOTFOUND;
    const BSTR text = V_BSTR(stored.Get());
    SetString(out, UnescapeUnicode(std::wstring_view(text, SysStringLen(text))));
    return S_OK;
}

HRESULT ReadParam(ITypeInfo* info, UINT funcIndex, UINT paramIndex, const ELEMDESC& elem, ParamPlan& plan) {
    HRESULT hr = ShapeOf(info, elem.tdesc, &plan.shape);
    if (FAILED(hr)) return hr;
    const USHORT flags = elem.paramdesc.wParamFlags;
    plan.optional = (flags & PARAMFLAG_FOPT) != 0;
    if (!plan.optional) return S_OK;
    if ((flags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
        return VariantCopy(plan.fallback.Get(), &elem.paramdesc.pparamdescex->varDefaultValue);
    }
    if (SUCCEEDED(CustomStringDefault(info, funcIndex, paramIndex, plan.fallback.Get()))) return S_OK;
    if (plan.shape.vt == VT_VARIANT) {
        V_VT(plan.fallback.Get()) = VT_ERROR;
        V_ERROR(plan.fallback.Get()) = DISP_E_PARAMNOTFOUND;
    }
    return S_OK;
}

HRESULT ReadMember(ITypeInfo* info, UINT funcIndex, const FUNCDESC& desc, MemberPlan& plan) {
    plan.id = desc.memid;
    plan.kind = desc.invkind;
    plan.vtableOffset = desc.oVft;
    plan.callConvention = desc.callconv;
    UINT formalCount = static_cast<UINT>(desc.cParams);
    plan.hasRetval =
        formalCount > 0 && (desc.lprgelemdescParam[formalCount - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    if (plan.hasRetval) {
        --formalCount;
        ParamShape shape;
        HRESULT hr = ShapeOf(info, desc.lprgelemdescParam[formalCount].tdesc, &shape);
        if (FAILED(hr)) return hr;
        plan.retvalType = shape.vt;
    }
    plan.params.resize(formalCount);
    for (UINT i = 0; i < formalCount; ++i) {
        HRESULT hr = ReadParam(info, funcIndex, i, desc.lprgelemdescParam[i], plan.params[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT ReadMemberPlans(ITypeInfo* vtableInfo, std::vector<MemberPlan>& plans) {
    TypeAttributes attr(vtableInfo);
    if (!attr.Valid()) return TYPE_E_ELEMENTNOTFOUND;
    plans.clear();
    plans.resize(attr->cFuncs);
    for (UINT i = 0; i < plans.size(); ++i) {
        FunctionDescription desc(vtableInfo, i);
        if (!desc.Valid()) return TYPE_E_ELEMENTNOTFOUND;
        HRESULT hr = ReadMember(vtableInfo, i, *desc, plans[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace zankit
