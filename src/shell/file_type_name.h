// The shell's type name for a file name, decided by its extension alone (the file need
// not exist). Used by the file and folder queries and by FileIcon.
#pragma once

#include <string>

namespace zankit::shell {

// "" when the shell gives none.
std::wstring FileTypeName(const std::wstring& path);

}  // namespace zankit::shell
