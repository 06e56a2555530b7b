#include "dialogs/last_folder.h"

#include <windows.h>

#include <vector>

#include "frame/win_handles.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kKeyPath[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Dialogs";
constexpr wchar_t kValueName[] = L"LastDir";

}  // namespace

std::wstring ReadLastFolder() {
    RegistryKeyHandle key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), kValueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return std::wstring(text.data());  // up to the first NUL, whether the value carries one or not
}

void StoreLastFolder(const std::wstring& folder) {
    RegistryKeyHandle key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key.Get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

}  // namespace zankit::dialogs
