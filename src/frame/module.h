// The DLL's own state: its instance handle, its path, and the counts of live objects and
// server locks that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

#include <string>

namespace zankit {

HMODULE ModuleHandle();
void SetModuleHandle(HMODULE module);  // called once, when the DLL is loaded
std::wstring ModulePath();             // full path of zankit.dll
std::wstring ModuleFolder();           // its folder, without a trailing separator

void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
bool ModuleInUse();

}  // namespace zankit
