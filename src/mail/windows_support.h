// Helpers of the Windows seam: text conversions between the mail core's ANSI byte texts and
// the UTF-16 texts of the W calls, and owners of registry keys and kernel handles.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zankit::mail {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Owner of one open registry key.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Owner of one kernel handle (file handles and the like).
class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() {
        if (Valid()) ::CloseHandle(handle_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Reads the REG_SZ value name of an open key, cut at its first NUL; false when it is absent,
// of another type or unreadable.
bool ReadRegistryString(HKEY key, const std::wstring& name, std::wstring& value);

}  // namespace zankit::mail
