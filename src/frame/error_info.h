// Raising automation errors: the error object that VB, the script engines and .NET read
// (number, source, description), set before a member returns its failure HRESULT.
#pragma once

#include <windows.h>

#include <string_view>

#include "frame/vb_numbers.h"

namespace zankit {

// A VB run-time error number n as the HRESULT that carries it (0x800A0000 | n).
constexpr HRESULT VbError(int number) { return static_cast<HRESULT>(VbErrorNumber(number)); }
// "Object error base + k".
constexpr HRESULT ObjectError(int k) { return static_cast<HRESULT>(ObjectErrorNumber(k)); }

// Sets the thread's error object and returns hr, for `return RaiseError(...)`.
HRESULT RaiseError(REFIID iid, HRESULT hr, std::wstring_view source, std::wstring_view description);

// Clears any pending error object of the thread.
void ClearErrorInfo();

}  // namespace zankit
