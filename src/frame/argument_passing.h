// Passing one caller argument to a member's parameter and back: coercion to the parameter's
// type (through a temporary when a script variable meets a typed by-reference parameter) and
// writing a by-reference result back into the caller's variable.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "frame/member_plan.h"
#include "frame/variant.h"

namespace zankit {

// One actual argument as DispCallFunc takes it. A slot points into itself once prepared, so
// it must not move afterwards.
struct CallSlot {
    Variant value;         // the coerced value (or the default, or the return value)
    VARIANT carrier = {};  // a reference to the value, or a shallow view of a plain value
    VARTYPE callType = VT_EMPTY;
    VARIANTARG* passed = nullptr;       // what DispCallFunc reads
    VARIANT* callerArgument = nullptr;  // write back into this after the call
    bool writeBack = false;
};

// Fills the slot of a formal parameter from the caller's argument (nullptr when the caller
// gave none). Fails with DISP_E_PARAMNOTOPTIONAL, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW.
HRESULT PrepareArgument(const ParamPlan& param, VARIANT* argument, CallSlot& slot);

// Points the slot at its own value as the [out, retval] of the given type.
void PrepareRetval(VARTYPE type, CallSlot& slot);

// Writes a member's by-reference result back into the caller's argument. A script variable
// keeps its type when the result converts to it and back unchanged; otherwise it takes the
// result's type. A typed reference (VB's ByRef As Long) gets the result in its own type.
void WriteBack(VARIANT* argument, const VARIANT* value);

}  // namespace zankit
