// Descriptions for failures of the HTTP request object that arrive without one.
#pragma once

#include <string>

namespace zankit {

// hr is the failure as raised (0x80070000 | WinHTTP error code for the request object's
// own failures). Unknown failures get "Automation error".
std::wstring HttpFailureText(long hr);

}  // namespace zankit
