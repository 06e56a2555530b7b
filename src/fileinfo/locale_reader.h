// Reading locale settings: the user's locale or the system's default locale.
#pragma once

#include <string>

namespace zankit::fileinfo {

// One item (LOCALE_S...) of the user's default locale; "" when the system has none.
std::wstring UserLocaleText(unsigned long item);

// One item of the system's default locale; "" when the system has none.
std::wstring SystemLocaleText(unsigned long item);

}  // namespace zankit::fileinfo
