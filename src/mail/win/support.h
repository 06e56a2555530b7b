// Helpers of the Windows seam: text conversions between the mail core's UTF-8 texts and the
// UTF-16 texts of the W calls (and the ANSI ones of the few A calls left), and the frame's
// handle owners under the seam's names.
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

// The frame's checked UTF-8 conversions: the mail core's texts.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// A text of the core that may hold bytes from a peer (a server's reply): read as UTF-8 when it
// is valid UTF-8, else as bytes of the ANSI code page.
std::wstring CoreTextToWide(std::string_view text);

}  // namespace zankit::mail
