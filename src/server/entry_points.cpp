// The DLL's exported entry points: loading, handing out class factories, unloading and
// (un)registration. Everything they do is done by the frame; this file only wires the
// library's classes to it.
#include <windows.h>

#include "frame/class_factory.h"
#include "frame/module.h"
#include "frame/registration.h"
#include "server/class_table.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        zankit::SetModuleHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    zankit::CreateInstanceFn create = zankit::FindClassCreator(clsid);
    if (!create) return CLASS_E_CLASSNOTAVAILABLE;
    return zankit::GetClassFactory(create, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return zankit::ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return zankit::RegisterServer(HKEY_LOCAL_MACHINE); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return zankit::UnregisterServer(HKEY_LOCAL_MACHINE); }

// regsvr32 /n /i:user registers for the current user only; /u /n /i:user undoes it.
// Without "user" the machine-wide registration is used.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool perUser = commandLine && _wcsicmp(commandLine, L"user") == 0;
    HKEY hive = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    return install ? zankit::RegisterServer(hive) : zankit::UnregisterServer(hive);
}
