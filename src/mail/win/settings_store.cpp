// The per-user settings store on Windows: REG_SZ values under
// HKCU\Software\VB and VBA Program Settings\<application>\<section>, where a VB host's
// GetSetting and SaveSetting keep theirs.
#include <windows.h>

#include <memory>

#include "mail/mail_seam.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

class RegistrySettingsStore final : public SettingsStore {
public:
    RegistrySettingsStore(const std::string& application, const std::string& section)
        : path_(L"Software\\VB and VBA Program Settings\\" + AnsiToWide(application) + L"\\" + AnsiToWide(section)) {}

    std::optional<std::string> Read(const std::string& key) override {
        RegistryKey opened;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::wstring value;
        if (!ReadRegistryString(opened.Get(), AnsiToWide(key), value)) return std::nullopt;
        return WideToAnsi(value);
    }

    bool Write(const std::string& key, const std::string& value) override {
        RegistryKey created;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, created.Put(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const std::wstring wide = AnsiToWide(value);
        const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(created.Get(), AnsiToWide(key).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
    }

private:
    std::wstring path_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakePlatformSettingsStore(const std::string& application, const std::string& section) {
    return std::make_unique<RegistrySettingsStore>(application, section);
}

}  // namespace zankit::mail
