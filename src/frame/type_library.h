// The type library embedded in zankit.dll (resource 1), loaded once per process.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zankit {

// The type information of an interface, dispinterface or class in the library.
HRESULT GetLibraryTypeInfo(REFGUID guid, ITypeInfo** out);

// The library itself (for registration).
HRESULT GetTypeLibrary(ITypeLib** out);

}  // namespace zankit
