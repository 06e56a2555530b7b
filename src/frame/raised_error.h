// An automation error that a member's body raises from wherever it is: thrown inside
// DispatchObject::Guarded, which sets the error object with the number and description and
// returns the number. Code that forwards to functions outside the class raises with it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace zankit {

struct RaisedError {
    RaisedError(HRESULT number, std::wstring description, std::wstring source = {})
        : number(number), description(std::move(description)), source(std::move(source)) {}

    HRESULT number;
    std::wstring description;
    std::wstring source;  // empty: the error source of the object whose member runs
};

}  // namespace zankit
