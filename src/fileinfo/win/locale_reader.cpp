#include "fileinfo/locale_reader.h"

#include <windows.h>

#include <vector>

namespace zankit::fileinfo {
namespace {

std::wstring LocaleText(LCID locale, LCTYPE item) {
    int needed = GetLocaleInfoW(locale, item, nullptr, 0);
    if (needed <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(needed), L'\0');
    int length = GetLocaleInfoW(locale, item, buffer.data(), needed);
    if (length <= 0) return {};
    // The length counts the closing NUL.
    return std::wstring(buffer.data(), static_cast<size_t>(length - 1));
}

}  // namespace

std::wstring UserLocaleText(unsigned long item) { return LocaleText(LOCALE_USER_DEFAULT, item); }

std::wstring SystemLocaleText(unsigned long item) { return LocaleText(GetSystemDefaultLCID(), item); }

}  // namespace zankit::fileinfo
