#include "frame/registry_text.h"

#include <algorithm>
#include <vector>

namespace zankit {

std::optional<std::wstring> ReadRegistryText(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    const std::size_t length = std::min<std::size_t>(size / sizeof(wchar_t), buffer.size());
    const std::wstring text(buffer.data(), length);
    return text.substr(0, text.find(L'\0'));
}

}  // namespace zankit
