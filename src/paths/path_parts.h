// Splitting file and folder specifications into their parts by text alone.
#pragma once

#include <string>
#include <string_view>

namespace zankit::paths {

// The name before its last "." ("a.b.c" gives "a.b", ".profile" gives ""); a name without
// a dot unchanged.
std::wstring NameWithoutExtension(std::wstring_view name);

// The text before the last "\"; a text without one unchanged ("C:\Temp\a.txt" gives "C:\Temp").
std::wstring TextBeforeLastSeparator(std::wstring_view fileSpec);

// True for exactly two characters of which the second is ":" ("C:").
bool IsBareDrive(std::wstring_view text);

// The last element of a folder path without one trailing "\" ("C:\Windows\" gives
// "Windows", "C:\" gives "C:").
std::wstring FolderName(std::wstring_view folder);

// The parent of a folder with its trailing "\" ("C:\a\b" gives "C:\a\"); a folder without
// a "\" gets one appended ("C:" gives "C:\").
std::wstring ParentFolderPath(std::wstring_view folder);

// The root of a full path: "C:\" or "\\server\share\" (a bare share gets its "\"); "" when
// the path has none (relative, "C:" alone, a server without a share).
std::wstring FolderRoot(std::wstring_view fullPath);

// "C:" for drive number 2 (A = 0); "" for a number outside 0 to 25.
std::wstring DriveNameFromNumber(int number);

}  // namespace zankit::paths
