#include "mail/win/support.h"

namespace zankit::mail {

std::wstring AnsiToWide(std::string_view text) { return zankit::FromAnsi(text); }

std::string WideToAnsi(std::wstring_view text) { return zankit::ToAnsi(text); }

}  // namespace zankit::mail
