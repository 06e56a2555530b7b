// Helpers of the Windows seam: text conversions between the mail core's ANSI byte texts and
// the UTF-16 texts of the W calls, and the frame's handle owners under the seam's names.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "frame/registry_text.h"
#include "frame/text_conversion.h"
#include "frame/win_handles.h"

namespace zankit::mail {

using zankit::KernelHandle;
using RegistryKey = zankit::RegistryKeyHandle;

// The frame's checked ANSI conversions under the names the seam uses (they throw
// zankit::TextConversionError when the system refuses a text).
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace zankit::mail
