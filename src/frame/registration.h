// Registration of the library's classes, interfaces and type library under a hive
// (HKEY_LOCAL_MACHINE for everyone, HKEY_CURRENT_USER for the current user only), read
// from the type library embedded in the DLL.
#pragma once

#include <windows.h>

namespace zankit {

HRESULT RegisterServer(HKEY hive);
HRESULT UnregisterServer(HKEY hive);

}  // namespace zankit
