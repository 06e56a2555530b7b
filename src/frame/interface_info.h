// The type information of one dual interface, read from the type library once per process and
// shared by every object that offers the interface: its dispatch type info (for names) and the
// call plan of each member (for Invoke).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "frame/com_ptr.h"
#include "frame/member_plan.h"

namespace zankit {

class InterfaceInfo {
public:
    // The shared information of the interface iid; lives as long as the module.
    static HRESULT For(REFIID iid, const InterfaceInfo** out);

    ITypeInfo* DispatchInfo() const { return dispatchInfo_.Get(); }

    // The member a call with this dispid and invoke flags means, or nullptr.
    const MemberPlan* Find(DISPID id, WORD flags) const;

    // IDispatch::GetIDsOfNames. Script hosts ask for a member's name on every call, so a single
    // member name is answered from a table; names with named arguments go to the type info.
    HRESULT IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;

private:
    HRESULT Load(REFIID iid);

    ComPtr<ITypeInfo> dispatchInfo_;
    std::vector<MemberPlan> members_;
    std::unordered_map<std::wstring, DISPID> memberIds_;  // by name in upper case
};

}  // namespace zankit
