#include "frame/user_settings.h"

#include "frame/registry_text.h"
#include "frame/win_handles.h"

namespace zankit {
namespace {

std::wstring SectionKeyPath(const std::wstring& section) {
    return L"Software\\VB and VBA Program Settings\\Postwerk\\" + section;
}

}  // namespace

std::optional<std::wstring> ReadUserSetting(const std::wstring& section, const std::wstring& name) {
    RegistryKeyHandle key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return ReadRegistryText(key.Get(), name.c_str());
}

bool WriteUserSetting(const std::wstring& section, const std::wstring& name, const std::wstring& value) {
    RegistryKeyHandle key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes) == ERROR_SUCCESS;
}

}  // namespace zankit
