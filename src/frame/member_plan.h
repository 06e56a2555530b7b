// What a late-bound call needs to know about one member of a dual interface, read from the
// type library once: its vtable slot, the shape of each parameter and the default of each
// optional one.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "frame/variant.h"

namespace zankit {

struct ParamShape {
    bool byRef = false;
    VARTYPE vt = VT_EMPTY;  // the value type: VT_VARIANT, VT_BSTR, VT_I4, VT_DISPATCH ...
};

struct ParamPlan {
    ParamShape shape;
    bool optional = false;
    // The value an omitted optional argument gets: the declared default, the default text
    // stored as custom data, or for a Variant parameter "missing" (VT_ERROR).
    Variant fallback;
};

struct MemberPlan {
    MEMBERID id = DISPID_UNKNOWN;
    INVOKEKIND kind = INVOKE_FUNC;
    SHORT vtableOffset = 0;
    CALLCONV callConvention = CC_STDCALL;
    std::vector<ParamPlan> params;  // the formal parameters, without the return value
    bool hasRetval = false;
    VARTYPE retvalType = VT_EMPTY;

    bool IsPut() const { return kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF; }
};

// Reads every member of the TKIND_INTERFACE part of a dual interface.
HRESULT ReadMemberPlans(ITypeInfo* vtableInfo, std::vector<MemberPlan>& plans);

}  // namespace zankit
