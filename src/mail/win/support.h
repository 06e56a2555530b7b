// Helpers of the Windows seam: text conversions between the mail core's ANSI byte texts and
// the UTF-16 texts of the W calls, and reading registry values.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "frame/text_conversion.h"
#include "frame/win_handles.h"

namespace zankit::mail {

using zankit::KernelHandle;
using RegistryKey = zankit::RegistryKeyHandle;

// The frame's checked ANSI conversions under the names the seam uses (they throw
// zankit::TextConversionError when the system refuses a text).
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Reads the REG_SZ value name of an open key, cut at its first NUL; false when it is absent,
// of another type or unreadable.
bool ReadRegistryString(HKEY key, const std::wstring& name, std::wstring& value);

}  // namespace zankit::mail
