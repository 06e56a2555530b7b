// Calling out through IDispatch (event sinks, the error logger) without leaking what the callee
// hands back: its result VARIANT and the strings of its EXCEPINFO are released on every path.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zankit {

// An EXCEPINFO that frees its strings when it goes.
class ScopedExcepInfo {
public:
    ScopedExcepInfo() = default;
    ScopedExcepInfo(const ScopedExcepInfo&) = delete;
    ScopedExcepInfo& operator=(const ScopedExcepInfo&) = delete;
    ~ScopedExcepInfo() { Clear(); }

    EXCEPINFO* Get() { return &value_; }
    const EXCEPINFO& operator*() const { return value_; }
    void Clear() {
        SysFreeString(value_.bstrSource);
        SysFreeString(value_.bstrDescription);
        SysFreeString(value_.bstrHelpFile);
        value_ = {};
    }

private:
    EXCEPINFO value_ = {};
};

// Calls a method of target with args in DISPPARAMS order (last argument first). By-reference
// arguments may come back changed; the callee's result and exception are discarded.
HRESULT InvokeMethod(IDispatch* target, DISPID id, VARIANT* args, UINT count);

}  // namespace zankit
