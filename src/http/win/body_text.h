// A response body (the request object's byte array) read as text of one code page.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

namespace zankit {

// The text of body in codePage (UTF-16 code pages included), without a leading byte order
// mark. Nothing when the system cannot convert that code page. A body that is not a byte
// array (none was received) is empty text.
std::optional<std::wstring> BodyText(const VARIANT& body, unsigned codePage);

}  // namespace zankit
