// Reading a text value of an open registry key.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace zankit {

// The REG_SZ value name of key, cut at its first NUL; nothing when it is absent, of another
// type or unreadable.
std::optional<std::wstring> ReadRegistryText(HKEY key, const wchar_t* name);

}  // namespace zankit
