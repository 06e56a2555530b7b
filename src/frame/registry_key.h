// An open registry key that closes itself, with the few operations registration needs.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace zankit {

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { Close(); }

    static LONG Create(HKEY parent, const std::wstring& path, RegistryKey& out) {
        out.Close();
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &out.key_, nullptr);
    }
    static LONG Open(HKEY parent, const std::wstring& path, REGSAM access, RegistryKey& out) {
        out.Close();
        return RegOpenKeyExW(parent, path.c_str(), 0, access, &out.key_);
    }

    LONG SetString(const wchar_t* name, const std::wstring& value) {
        return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    // True when the key holds neither sub-keys nor values (an unreadable key counts as full).
    bool IsEmpty() const {
        DWORD subKeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        return subKeys == 0 && values == 0;
    }

    HKEY Get() const { return key_; }
    void Close() {
        if (key_) RegCloseKey(std::exchange(key_, nullptr));
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace zankit
