// An object of one of this library's classes, made the way a host gets one but without the
// registry: through the library's own class object. Lets one class use another by its
// interface alone.
#pragma once

#include <windows.h>

namespace zankit {

HRESULT CreateLibraryObject(REFCLSID clsid, REFIID iid, void** out);

}  // namespace zankit
