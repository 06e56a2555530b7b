#include "fileinfo/file_name_rules.h"

#include <algorithm>

namespace zankit::fileinfo {
namespace {

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

}  // namespace

bool ContainsForbiddenCharacter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) {
        return std::find(kForbiddenNameCharacters.begin(), kForbiddenNameCharacters.end(), c) !=
               kForbiddenNameCharacters.end();
    });
}

bool IsValidFileName(std::wstring_view name) {
    if (name.empty() || name.size() >= kNameLimit) return false;
    if (name.front() == L' ' || name.back() == L' ' || name.back() == L'.') return false;
    return !ContainsForbiddenCharacter(name);
}

std::wstring CleanFileName(std::wstring_view text) {
    if (!text.empty() && text.back() == L'.') text.remove_suffix(1);
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    size_t last = text.find_last_not_of(L' ');
    text = text.substr(first, last - first + 1);
    if (text.size() > kNameLimit) text = text.substr(0, kNameLimit);
    std::wstring cleaned;
    cleaned.reserve(text.size());
    for (wchar_t c : text) {
        if (!ContainsForbiddenCharacter(std::wstring_view(&c, 1))) cleaned.push_back(c);
    }
    return cleaned;
}

bool IsExecutableExtension(std::wstring_view extension) {
    std::wstring upper(extension);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return std::find(kExecutableExtensions.begin(), kExecutableExtensions.end(), upper) != kExecutableExtensions.end();
}

}  // namespace zankit::fileinfo
