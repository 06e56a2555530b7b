#include "paths/path_text.h"

#include <cmath>
#include <cstdio>

namespace zankit::paths {

std::wstring FixPath(std::wstring_view path) {
    std::wstring fixed(path);
    if (fixed.empty() || fixed.back() != kSeparator) fixed.push_back(kSeparator);
    return fixed;
}

std::wstring FileNameFromPath(std::wstring_view path) {
    size_t last = path.rfind(kSeparator);
    if (last == std::wstring_view::npos) return std::wstring(path);
    return std::wstring(path.substr(last + 1));
}

std::wstring StripTrailingSeparator(std::wstring_view path) {
    if (!path.empty() && path.back() == kSeparator) path.remove_suffix(1);
    return std::wstring(path);
}

void TrimAtNull(std::wstring& text) {
    size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
}

std::wstring ExtensionOf(std::wstring_view path) {
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos) return {};
    size_t separator = path.rfind(kSeparator);
    if (separator != std::wstring_view::npos && separator > dot) return {};
    return std::wstring(path.substr(dot + 1));
}

std::wstring AttributeLetters(std::uint8_t attributes) {
    struct Letter {
        std::uint8_t bit;
        wchar_t letter;
    };
    static constexpr Letter kLetters[] = {{1, L'R'}, {2, L'H'}, {32, L'A'}, {4, L'S'}, {64, L'L'}, {128, L'C'}};
    std::wstring letters;
    for (const Letter& entry : kLetters) {
        if (attributes & entry.bit) letters.push_back(entry.letter);
    }
    return letters;
}

std::wstring SizeText(std::int64_t bytes, std::wstring_view decimalSeparator) {
    constexpr double kGiB = 1073741824.0;
    constexpr double kMiB = 1048576.0;
    const bool gigabytes = bytes >= static_cast<std::int64_t>(kGiB);
    const double value = static_cast<double>(bytes) / (gigabytes ? kGiB : kMiB);
    // Two decimals, rounded half away from zero as the run time's "Fixed" format does.
    const double hundredths = std::round(value * 100.0);
    const bool negative = hundredths < 0;
    const long long whole = static_cast<long long>(std::fabs(hundredths));
    wchar_t digits[64];
    std::swprintf(digits, 64, L"%lld", whole / 100);
    wchar_t fraction[8];
    std::swprintf(fraction, 8, L"%02lld", whole % 100);
    std::wstring text = negative ? L"-" : L"";
    text += digits;
    text += decimalSeparator;
    text += fraction;
    text += gigabytes ? L"GB" : L"MB";
    return text;
}

}  // namespace zankit::paths
