// The form of a path that the W calls of the file system accept at any length: drive and
// network paths of MAX_PATH characters or more get the "\\?\" prefix; shorter paths, relative
// paths and paths that carry the prefix already are left as they are.
#pragma once

#include <string>

namespace zankit::paths {

std::wstring LongPathForm(const std::wstring& path);

}  // namespace zankit::paths
