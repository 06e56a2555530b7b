#include "fileinfo/display_texts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cwctype>

namespace zankit::fileinfo {
namespace {

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); });
    return lower;
}

}  // namespace

std::wstring KiloByteText(std::int64_t bytes, std::wstring_view decimalSeparator) {
    const double kilobytes = (static_cast<double>(bytes) + 512.0) / 1024.0;
    const double tenths = std::round(kilobytes * 10.0);
    const bool negative = tenths < 0;
    const long long whole = static_cast<long long>(std::fabs(tenths));
    std::wstring text = negative ? L"-" : L"";
    text += std::to_wstring(whole / 10);
    text += decimalSeparator;
    text += std::to_wstring(whole % 10);
    text += L" KB";
    return text;
}

std::optional<std::wstring> DriveTypeText(long driveType) {
    static const std::array<const wchar_t*, 7> kTexts = {
        L"Unbekannt", L"Unbekannt", L"Wechsellaufwerk", L"Lokales Laufwerk", L"Netz-Laufwerk", L"CD-ROM", L"RAM Disk"};
    if (driveType < 0 || driveType >= static_cast<long>(kTexts.size())) return std::nullopt;
    return std::wstring(kTexts[static_cast<size_t>(driveType)]);
}

std::wstring SerialNumberText(std::uint32_t serial) { return std::to_wstring(static_cast<std::int32_t>(serial)); }

std::wstring ShortDatePattern(std::wstring_view localePattern) {
    std::wstring pattern(localePattern);
    if (Lower(pattern).find(L"yyyy") == std::wstring::npos) {
        std::wstring widened;
        for (size_t i = 0; i < pattern.size();) {
            if (pattern.compare(i, 2, L"yy") == 0) {
                widened += L"yyyy";
                i += 2;
            } else {
                widened += pattern[i];
                ++i;
            }
        }
        pattern = widened;
    }
    return Lower(pattern);
}

}  // namespace zankit::fileinfo
