// The file-name and folder-name lists of a folder, as collections of full paths in the
// order the system lists the entries.
#pragma once

#include <string>

#include "frame/collection.h"

namespace zankit::fileinfo {

// Adds folder + name for every file (hidden and system files too) that matches the
// pattern inside the folder (which ends in "\"). Nothing is added when nothing matches or
// the folder does not exist.
void AddFileNames(const std::wstring& folder, const std::wstring& pattern, Collection& names);

// Adds folder + name for every sub-folder whose name does not begin with "." (so "." and
// ".." and dot-folders such as ".cache" are left out).
void AddFolderNames(const std::wstring& folder, const std::wstring& pattern, Collection& names);

}  // namespace zankit::fileinfo
