#include "paths/long_path.h"

namespace zankit::paths {

std::wstring LongPathForm(const std::wstring& path) {
    // 260 less room for an 8.3 name: folders must leave that much for their files.
    constexpr size_t kLongFrom = 260 - 12;
    if (path.size() < kLongFrom || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

}  // namespace zankit::paths
