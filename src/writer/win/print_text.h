// A value as the run time's print statement writes it to a file: strings unchanged, numbers
// with a blank in place of the plus sign and one blank after, True/False, Empty as nothing,
// Null as "Null", dates in the user's short date and time form.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace zankit {

struct PrintText {
    HRESULT error = S_OK;      // a value without a printable form (an array, an object without value)
    std::wstring description;  // the text of that error
    std::wstring text;
};

PrintText PrintTextOf(const VARIANT* value);

}  // namespace zankit
