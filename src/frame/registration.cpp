// Self-registration: RegisterServer/UnregisterServer write and remove the machine-wide keys
// (HKLM\Software\Classes) or, for a per-user registration, the same keys under
// HKCU\Software\Classes, so `regsvr32 /n /i:user zankit.dll` needs no administrator rights.
//
// What is written comes from the embedded type library: for each creatable class the ProgID
// <Library>.<Class> (with CurVer) and the versioned ProgID <Library>.<Class>.1, CLSID\{...} with
// InprocServer32 (ThreadingModel Apartment), ProgID, VersionIndependentProgID, TypeLib, Version
// and Programmable; for the library TypeLib\{LIBID}\<major.minor> with the file under 0\win32
// or 0\win64, FLAGS and HELPDIR; Interface\{IID} for each interface (the automation marshaler
// for dual interfaces, the dispatch marshaler for dispinterfaces).
// Removal deletes exactly these keys. CLSID and Interface keys live in each bitness's own
// view of the registry; the ProgIDs and the type library key are shared by the x86 and x64
// builds and go only when the other bitness is not registered.
#include "frame/registration.h"

#include <oleauto.h>
#include <olectl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/module.h"
#include "frame/type_library.h"
#include "frame/win_handles.h"

namespace zankit {
namespace {

const wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";
const wchar_t kDispatchMarshaler[] = L"{00020420-0000-0000-C000-000000000046}";

#ifdef _WIN64
const wchar_t kPlatformKey[] = L"win64";
const wchar_t kOtherPlatformKey[] = L"win32";
const REGSAM kOtherView = KEY_WOW64_32KEY;
#else
const wchar_t kPlatformKey[] = L"win32";
const wchar_t kOtherPlatformKey[] = L"win64";
const REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

struct ClassInfo {
    CLSID clsid;
    std::wstring name;
};

struct InterfaceInfo {
    IID iid;
    std::wstring name;
    const wchar_t* marshaler;
};

// What the type library says is to be registered: the library itself, its creatable classes
// and its interfaces.
struct LibraryContents {
    GUID libid{};
    std::wstring name;     // ProgIDs are <name>.<Class>
    std::wstring version;  // "major.minor"
    std::vector<ClassInfo> classes;
    std::vector<InterfaceInfo> interfaces;
};

std::wstring TypeName(ITypeLib* library, UINT index) {
    Bstr name;
    if (FAILED(library->GetDocumentation(static_cast<INT>(index), name.Put(), nullptr, nullptr, nullptr))) return {};
    return FromBstr(name.Get());
}

HRESULT ReadContents(LibraryContents& contents) {
    ComPtr<ITypeLib> library;
    HRESULT hr = GetTypeLibrary(library.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* libraryAttributes = nullptr;
    hr = library->GetLibAttr(&libraryAttributes);
    if (FAILED(hr)) return hr;
    contents.libid = libraryAttributes->guid;
    contents.version =
        std::to_wstring(libraryAttributes->wMajorVerNum) + L"." + std::to_wstring(libraryAttributes->wMinorVerNum);
    library->ReleaseTLibAttr(libraryAttributes);
    contents.name = TypeName(library.Get(), static_cast<UINT>(-1));
    if (contents.name.empty()) return SELFREG_E_TYPELIB;

    const UINT count = library->GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index) {
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(index, info.Put()))) return SELFREG_E_TYPELIB;
        TypeAttributes attributes(info.Get());
        if (!attributes.Valid()) return SELFREG_E_TYPELIB;
        const GUID guid = attributes->guid;
        const TYPEKIND kind = attributes->typekind;
        const WORD flags = attributes->wTypeFlags;
        if (kind == TKIND_COCLASS && (flags & TYPEFLAG_FCANCREATE)) {
            contents.classes.push_back({guid, TypeName(library.Get(), index)});
        } else if (kind == TKIND_DISPATCH || kind == TKIND_INTERFACE) {
            const bool dual = (flags & TYPEFLAG_FDUAL) != 0 || kind == TKIND_INTERFACE;
            contents.interfaces.push_back(
                {guid, TypeName(library.Get(), index), dual ? kAutomationMarshaler : kDispatchMarshaler});
        }
    }
    return S_OK;
}

LONG WriteKey(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    RegistryKeyHandle key;
    LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// A (key path, value name, value) triple to write.
struct KeyValue {
    std::wstring path;
    const wchar_t* name;
    std::wstring value;
};

// Writes the entries in order, stopping at the first failure.
LONG WriteAll(HKEY root, const std::vector<KeyValue>& entries) {
    for (const KeyValue& entry : entries) {
        LONG status = WriteKey(root, entry.path, entry.name, entry.value);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::wstring& path) { SHDeleteKeyW(root, path.c_str()); }

bool OpenKey(HKEY root, const std::wstring& path, REGSAM access, RegistryKeyHandle& key) {
    return RegOpenKeyExW(root, path.c_str(), 0, access, key.Put()) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    RegistryKeyHandle key;
    return OpenKey(root, path, KEY_READ, key);
}

// Deletes a key only when nothing is left in it (an unreadable key counts as full).
void DeleteIfEmpty(HKEY root, const std::wstring& path) {
    RegistryKeyHandle key;
    if (!OpenKey(root, path, KEY_READ, key)) return;
    DWORD subKeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        subKeys != 0 || values != 0) {
        return;
    }
    key.Reset();
    SHDeleteKeyW(root, path.c_str());
}

class Registrar {
public:
    Registrar(HKEY hive, HKEY root, const LibraryContents& contents) : hive_(hive), root_(root), contents_(contents) {}

    HRESULT Register() {
        const std::wstring modulePath = ModulePath();
        if (modulePath.empty()) return SELFREG_E_CLASS;
        if (WriteAll(root_, LibraryKeys(modulePath)) != ERROR_SUCCESS) {
            Remove();
            return SELFREG_E_TYPELIB;
        }
        for (const ClassInfo& info : contents_.classes) {
            if (WriteAll(root_, ClassKeys(info, modulePath)) != ERROR_SUCCESS) {
                Remove();
                return SELFREG_E_CLASS;
            }
        }
        return S_OK;
    }

    void Remove() {
        for (const ClassInfo& info : contents_.classes) {
            DeleteTree(root_, L"CLSID\\" + GuidText(info.clsid));
            if (OtherBitnessHasClass(info)) continue;
            DeleteTree(root_, ProgId(info));
            DeleteTree(root_, VersionedProgId(info));
        }
        // Interface keys, like CLSID keys, belong to this bitness's view of the registry.
        for (const InterfaceInfo& itf : contents_.interfaces) DeleteTree(root_, L"Interface\\" + GuidText(itf.iid));
        DeleteTree(root_, LibraryVersionKey() + L"\\0\\" + kPlatformKey);
        DeleteIfEmpty(root_, LibraryVersionKey() + L"\\0");
        if (!KeyExists(root_, LibraryVersionKey() + L"\\0\\" + kOtherPlatformKey)) {
            DeleteTree(root_, LibraryVersionKey());
            DeleteIfEmpty(root_, LibraryKey());
        }
        // A per-user registration may have been the first to create these containers.
        for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) DeleteIfEmpty(root_, container);
    }

private:
    std::wstring ProgId(const ClassInfo& info) const { return contents_.name + L"." + info.name; }
    std::wstring VersionedProgId(const ClassInfo& info) const { return ProgId(info) + L".1"; }
    std::wstring LibraryKey() const { return L"TypeLib\\" + GuidText(contents_.libid); }
    std::wstring LibraryVersionKey() const { return LibraryKey() + L"\\" + contents_.version; }

    std::vector<KeyValue> ClassKeys(const ClassInfo& info, const std::wstring& modulePath) const {
        const std::wstring clsid = GuidText(info.clsid);
        const std::wstring classKey = L"CLSID\\" + clsid;
        const std::wstring description = contents_.name + L" " + info.name;
        return {
            {ProgId(info), nullptr, description},
            {ProgId(info) + L"\\CLSID", nullptr, clsid},
            {ProgId(info) + L"\\CurVer", nullptr, VersionedProgId(info)},
            {VersionedProgId(info), nullptr, description},
            {VersionedProgId(info) + L"\\CLSID", nullptr, clsid},
            {classKey, nullptr, description},
            {classKey + L"\\InprocServer32", nullptr, modulePath},
            {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {classKey + L"\\ProgID", nullptr, VersionedProgId(info)},
            {classKey + L"\\VersionIndependentProgID", nullptr, ProgId(info)},
            {classKey + L"\\TypeLib", nullptr, GuidText(contents_.libid)},
            {classKey + L"\\Version", nullptr, contents_.version},
            {classKey + L"\\Programmable", nullptr, L""},
        };
    }

    std::vector<KeyValue> LibraryKeys(const std::wstring& modulePath) const {
        std::vector<KeyValue> keys = {
            {LibraryVersionKey(), nullptr, contents_.name},
            {LibraryVersionKey() + L"\\0\\" + kPlatformKey, nullptr, modulePath},
            {LibraryVersionKey() + L"\\FLAGS", nullptr, L"0"},
            {LibraryVersionKey() + L"\\HELPDIR", nullptr, ModuleFolder()},
        };
        for (const InterfaceInfo& itf : contents_.interfaces) {
            const std::wstring key = L"Interface\\" + GuidText(itf.iid);
            keys.push_back({key, nullptr, itf.name});
            keys.push_back({key + L"\\ProxyStubClsid", nullptr, itf.marshaler});
            keys.push_back({key + L"\\ProxyStubClsid32", nullptr, itf.marshaler});
            keys.push_back({key + L"\\TypeLib", nullptr, GuidText(contents_.libid)});
            keys.push_back({key + L"\\TypeLib", L"Version", contents_.version});
        }
        return keys;
    }

    // True when the class is registered for the other bitness too (CLSID keys are kept apart
    // by the registry's 32/64-bit views, ProgIDs are shared between them).
    bool OtherBitnessHasClass(const ClassInfo& info) const {
        RegistryKeyHandle key;
        const std::wstring path = L"Software\\Classes\\CLSID\\" + GuidText(info.clsid) + L"\\InprocServer32";
        return OpenKey(hive_, path, KEY_READ | kOtherView, key);
    }

    HKEY hive_;
    HKEY root_;
    const LibraryContents& contents_;
};

// Opens (creating it if needed) the Software\Classes key of the hive and runs `action` on it.
template <typename Action>
HRESULT WithClassesRoot(HKEY hive, Action action) {
    LibraryContents contents;
    if (FAILED(ReadContents(contents))) return SELFREG_E_TYPELIB;
    RegistryKeyHandle root;
    if (RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, root.Put(),
                        nullptr) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    Registrar registrar(hive, root.Get(), contents);
    return action(registrar);
}

}  // namespace

HRESULT RegisterServer(HKEY hive) {
    return WithClassesRoot(hive, [](Registrar& registrar) { return registrar.Register(); });
}

HRESULT UnregisterServer(HKEY hive) {
    return WithClassesRoot(hive, [](Registrar& registrar) {
        registrar.Remove();
        return S_OK;
    });
}

}  // namespace zankit
