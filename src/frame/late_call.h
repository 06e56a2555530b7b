// Calls members of outside automation objects by name, the way a late-bound VB call does,
// and gives back what the object said when it failed.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>

#include "frame/variant.h"

namespace zankit {

struct CallOutcome {
    // S_OK, or the failure as a VB caller sees it: the scode (or the VB number in wCode)
    // of a raised exception, else the HRESULT Invoke returned.
    HRESULT hr = S_OK;
    Variant result;
    std::wstring source;
    std::wstring description;
    bool Failed() const { return FAILED(hr); }
};

// Arguments are given first to last; they stay the caller's (passed as shallow copies).
CallOutcome CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<VARIANT> args = {});
// The default member (DISPID_VALUE), as `collection(key)` calls it.
CallOutcome CallDefault(IDispatch* object, WORD flags, std::initializer_list<VARIANT> args = {});

// A call that failed before it reached the object.
CallOutcome FailedCall(HRESULT hr);

// The number VB's Err.Number shows for a failure: n for 0x800A0000|n, 9 for a bad index,
// the HRESULT itself otherwise.
long ErrorNumberOf(HRESULT hr);

// Shallow argument values (the caller keeps ownership of what they point to).
VARIANT TextArg(BSTR text);
VARIANT ShortArg(short number);
VARIANT LongArg(long number);
VARIANT BoolArg(bool flag);
VARIANT ObjectArg(IDispatch* object);
VARIANT MissingArg();

}  // namespace zankit
