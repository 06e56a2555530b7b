// Self-registration: DllRegisterServer/DllUnregisterServer write and remove the machine-wide
// keys (HKLM\Software\Classes); DllInstall with the command line "user" does the same under
// HKCU\Software\Classes, so `regsvr32 /n /i:user zankit.dll` needs no administrator rights.
//
// What is written for each class: the ProgID ZanKit.<Class> (with CurVer) and the versioned
// ProgID ZanKit.<Class>.1, CLSID\{...} with InprocServer32 (ThreadingModel Apartment), ProgID,
// VersionIndependentProgID, TypeLib, Version and Programmable. For the type library:
// TypeLib\{LIBID}\1.0 with the file under 0\win32 or 0\win64, FLAGS and HELPDIR, and
// Interface\{IID} for each interface (the automation marshaler as proxy/stub).
// Removal deletes exactly these keys. CLSID and Interface keys live in each bitness's own
// view of the registry; the ProgIDs and the type library key are shared by the x86 and x64
// builds and go only when the other bitness is not registered.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "frame/class_table.h"
#include "frame/com_ptr.h"
#include "frame/module.h"
#include "frame/registry_key.h"
#include "frame/type_library.h"
#include "frame/zankit_interfaces.h"

namespace zankit {
namespace {

const wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
const wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";
const wchar_t kLibraryVersion[] = L"1.0";

#ifdef _WIN64
const wchar_t kPlatformKey[] = L"win64";
const wchar_t kOtherPlatformKey[] = L"win32";
const REGSAM kOtherView = KEY_WOW64_32KEY;
#else
const wchar_t kPlatformKey[] = L"win32";
const wchar_t kOtherPlatformKey[] = L"win64";
const REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

struct InterfaceEntry {
    const IID* iid;
    const wchar_t* name;
    const wchar_t* marshaler;
};

const InterfaceEntry kInterfaces[] = {
    {&IID__FileSysInfo, L"_FileSysInfo", kAutomationMarshaler},
    {&IID__FileIcon, L"_FileIcon", kAutomationMarshaler},
    {&IID__FileWriter, L"_FileWriter", kAutomationMarshaler},
    {&IID__clsSendMail, L"_clsSendMail", kAutomationMarshaler},
    {&DIID___clsSendMail, L"__clsSendMail", kDispatchMarshaler},
    {&IID__WinHttpWrapper, L"_WinHttpWrapper", kAutomationMarshaler},
    {&IID__ZanCollection, L"_ZanCollection", kAutomationMarshaler},
    {&IID__ZanApp, L"_ZanApp", kAutomationMarshaler},
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ProgId(const ClassEntry& entry) { return std::wstring(L"ZanKit.") + entry.name; }
std::wstring VersionedProgId(const ClassEntry& entry) { return ProgId(entry) + L".1"; }

LONG WriteKey(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    RegistryKey key;
    LONG status = RegistryKey::Create(root, path, key);
    if (status != ERROR_SUCCESS) return status;
    return key.SetString(name, value);
}

// Writes a list of (key path, value name, value) triples, stopping at the first failure.
struct KeyValue {
    std::wstring path;
    const wchar_t* name;
    std::wstring value;
};

LONG WriteAll(HKEY root, const std::vector<KeyValue>& entries) {
    for (const KeyValue& entry : entries) {
        LONG status = WriteKey(root, entry.path, entry.name, entry.value);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::wstring& path) { SHDeleteKeyW(root, path.c_str()); }

// Deletes a key only when nothing is left in it.
void DeleteIfEmpty(HKEY root, const std::wstring& path) {
    RegistryKey key;
    if (RegistryKey::Open(root, path, KEY_READ, key) != ERROR_SUCCESS) return;
    if (!key.IsEmpty()) return;
    key.Close();
    SHDeleteKeyW(root, path.c_str());
}

bool KeyExists(HKEY root, const std::wstring& path) {
    RegistryKey key;
    return RegistryKey::Open(root, path, KEY_READ, key) == ERROR_SUCCESS;
}

std::wstring LibraryKey() { return L"TypeLib\\" + GuidText(LIBID_ZanKit); }
std::wstring LibraryVersionKey() { return LibraryKey() + L"\\" + kLibraryVersion; }

std::vector<KeyValue> ClassKeys(const ClassEntry& entry, const std::wstring& modulePath) {
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring description = std::wstring(L"ZanKit ") + entry.name;
    return {
        {ProgId(entry), nullptr, description},
        {ProgId(entry) + L"\\CLSID", nullptr, clsid},
        {ProgId(entry) + L"\\CurVer", nullptr, VersionedProgId(entry)},
        {VersionedProgId(entry), nullptr, description},
        {VersionedProgId(entry) + L"\\CLSID", nullptr, clsid},
        {classKey, nullptr, description},
        {classKey + L"\\InprocServer32", nullptr, modulePath},
        {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey + L"\\ProgID", nullptr, VersionedProgId(entry)},
        {classKey + L"\\VersionIndependentProgID", nullptr, ProgId(entry)},
        {classKey + L"\\TypeLib", nullptr, GuidText(LIBID_ZanKit)},
        {classKey + L"\\Version", nullptr, kLibraryVersion},
        {classKey + L"\\Programmable", nullptr, L""},
    };
}

std::vector<KeyValue> LibraryKeys(const std::wstring& modulePath) {
    std::vector<KeyValue> keys = {
        {LibraryVersionKey(), nullptr, L"ZanKit"},
        {LibraryVersionKey() + L"\\0\\" + kPlatformKey, nullptr, modulePath},
        {LibraryVersionKey() + L"\\FLAGS", nullptr, L"0"},
        {LibraryVersionKey() + L"\\HELPDIR", nullptr, ModuleFolder()},
    };
    for (const InterfaceEntry& itf : kInterfaces) {
        const std::wstring key = L"Interface\\" + GuidText(*itf.iid);
        keys.push_back({key, nullptr, itf.name});
        keys.push_back({key + L"\\ProxyStubClsid", nullptr, itf.marshaler});
        keys.push_back({key + L"\\ProxyStubClsid32", nullptr, itf.marshaler});
        keys.push_back({key + L"\\TypeLib", nullptr, GuidText(LIBID_ZanKit)});
        keys.push_back({key + L"\\TypeLib", L"Version", kLibraryVersion});
    }
    return keys;
}

// True when the class is registered for the other bitness too (CLSID keys are kept apart by
// the registry's 32/64-bit views, ProgIDs are shared between them).
bool OtherBitnessHasClass(HKEY hive, const ClassEntry& entry) {
    RegistryKey key;
    const std::wstring path = L"Software\\Classes\\CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32";
    return RegistryKey::Open(hive, path, KEY_READ | kOtherView, key) == ERROR_SUCCESS;
}

void RemoveFrom(HKEY hive, HKEY root) {
    for (const ClassEntry& entry : CreatableClasses()) {
        DeleteTree(root, L"CLSID\\" + GuidText(*entry.clsid));
        if (OtherBitnessHasClass(hive, entry)) continue;
        DeleteTree(root, ProgId(entry));
        DeleteTree(root, VersionedProgId(entry));
    }
    // Interface keys, like CLSID keys, belong to this bitness's view of the registry.
    for (const InterfaceEntry& itf : kInterfaces) DeleteTree(root, L"Interface\\" + GuidText(*itf.iid));
    DeleteTree(root, LibraryVersionKey() + L"\\0\\" + kPlatformKey);
    DeleteIfEmpty(root, LibraryVersionKey() + L"\\0");
    if (!KeyExists(root, LibraryVersionKey() + L"\\0\\" + kOtherPlatformKey)) {
        DeleteTree(root, LibraryVersionKey());
        DeleteIfEmpty(root, LibraryKey());
    }
    // A per-user registration may have been the first to create these containers.
    for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) DeleteIfEmpty(root, container);
}

HRESULT RegisterUnder(HKEY hive, HKEY root) {
    const std::wstring modulePath = ModulePath();
    if (modulePath.empty()) return SELFREG_E_CLASS;
    // The type library must load from the DLL before anything points at it.
    ComPtr<ITypeLib> library;
    if (FAILED(GetTypeLibrary(library.Put()))) return SELFREG_E_TYPELIB;
    if (WriteAll(root, LibraryKeys(modulePath)) != ERROR_SUCCESS) {
        RemoveFrom(hive, root);
        return SELFREG_E_TYPELIB;
    }
    for (const ClassEntry& entry : CreatableClasses()) {
        if (WriteAll(root, ClassKeys(entry, modulePath)) != ERROR_SUCCESS) {
            RemoveFrom(hive, root);
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

class ClassesRoot {
public:
    explicit ClassesRoot(HKEY hive) { RegistryKey::Create(hive, L"Software\\Classes", key_); }
    HKEY Get() const { return key_.Get(); }

private:
    RegistryKey key_;
};

HRESULT Register(HKEY hive) {
    ClassesRoot root(hive);
    if (!root.Get()) return SELFREG_E_CLASS;
    return RegisterUnder(hive, root.Get());
}

HRESULT Unregister(HKEY hive) {
    ClassesRoot root(hive);
    if (!root.Get()) return SELFREG_E_CLASS;
    RemoveFrom(hive, root.Get());
    return S_OK;
}

}  // namespace
}  // namespace zankit

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return zankit::Register(HKEY_LOCAL_MACHINE); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return zankit::Unregister(HKEY_LOCAL_MACHINE); }

// regsvr32 /n /i:user registers for the current user only; /u /n /i:user undoes it.
// Without "user" the machine-wide registration is used.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
    const bool perUser = commandLine && _wcsicmp(commandLine, L"user") == 0;
    HKEY hive = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    return install ? zankit::Register(hive) : zankit::Unregister(hive);
}
