// The library's per-user settings store: REG_SZ values under
// HKCU\Software\VB and VBA Program Settings\Postwerk\<section>, where a VB host's GetSetting
// and SaveSetting keep the values of the application "Postwerk".
#pragma once

// Built on Windows only: the store is the registry.
#include <windows.h>

#include <optional>
#include <string>

namespace zankit {

// The value name of section, cut at its first NUL; nothing when it is absent, not a text value
// or the store cannot be read.
std::optional<std::wstring> ReadUserSetting(const std::wstring& section, const std::wstring& name);

// Stores value under name in section, creating the section's key; false when the store cannot
// be written.
bool WriteUserSetting(const std::wstring& section, const std::wstring& name, const std::wstring& value);

}  // namespace zankit
