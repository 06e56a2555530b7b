// Descriptions for failures of the HTTP request object that arrive without one.
#pragma once

#include <cstdint>
#include <string>

namespace zankit {

// hr is the failure as raised (0x80070000 | WinHTTP error code for the request object's
// own failures). Unknown failures get "Automation error".
std::wstring HttpFailureText(long hr);

// A failure the request object returned from its dispatch call without raising it (a member
// or option it does not support, an argument of the wrong type), as the VB run time turns
// it into a run-time error for its caller: E_NOTIMPL into error 445 and so on. Other values
// are handed back unchanged with an empty text.
struct BareFailure {
    std::uint32_t number;
    std::wstring description;
};
BareFailure AsRunTimeError(long hr);

}  // namespace zankit
