// The names of a FileNames argument: a single value, or the first dimension of an array of
// any lower bound and element type, each element converted to text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace zankit::fileops {

struct SourceNames {
    HRESULT error = S_OK;      // the run-time error a caller sees when a value is no text
    std::wstring description;  // its text
    std::vector<std::wstring> names;
};

// `value` may be passed by reference (VT_BYREF) at any level, as script hosts and VB do.
SourceNames NamesOf(const VARIANT* value);

}  // namespace zankit::fileops
