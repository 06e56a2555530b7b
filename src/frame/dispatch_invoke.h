// Late-bound calls into a dual interface. The arguments are matched to the member's
// parameters as the type library declares them, then the member is called through its
// vtable slot (DispCallFunc). Doing the matching here, rather than in the stock
// ITypeInfo::Invoke, gives every host the same behaviour:
// - a script variable (VT_BYREF|VT_VARIANT) passed to a typed by-reference parameter is
//   coerced into a temporary of the parameter's type and the result written back;
// - omitted optional arguments get their declared default, or the default text stored as
//   custom data for by-reference strings;
// - _NewEnum and parameterless property gets answer any invoke kind (JScript's Enumerator
//   asks with DISPATCH_METHOD only);
// - a failing member's error object is copied into EXCEPINFO with scode set.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "frame/interface_info.h"

namespace zankit {

// instance is the interface pointer whose vtable is called.
HRESULT InvokeMember(void* instance, const InterfaceInfo& info, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argError);

}  // namespace zankit
