#include "mail/win/support.h"

#include <algorithm>
#include <vector>

namespace zankit::mail {

std::wstring AnsiToWide(std::string_view text) { return zankit::FromAnsi(text); }

std::string WideToAnsi(std::wstring_view text) { return zankit::ToAnsi(text); }

bool ReadRegistryString(HKEY key, const std::wstring& name, std::wstring& value) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return false;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    const std::size_t length = std::min<std::size_t>(size / sizeof(wchar_t), buffer.size());
    std::wstring text(buffer.data(), length);
    value = text.substr(0, text.find(L'\0'));
    return true;
}

}  // namespace zankit::mail
