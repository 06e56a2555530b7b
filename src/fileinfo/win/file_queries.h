// The system's answers about one file that the file and folder queries share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zankit::fileinfo {

// The absolute path the system forms for a FileSpec argument; nothing when it forms none.
std::optional<std::wstring> FullPathOf(const std::wstring& fileSpec);

// The last element of a path as the shell strips it ("C:\a\b.txt" gives "b.txt").
std::wstring LastPathElement(const std::wstring& fileSpec);

// "C:" for a path on drive C; "" for a path without a drive letter (network paths).
std::wstring DriveNameOf(const std::wstring& fileSpec);

// Attributes, size and last-write time of an existing file or folder.
struct FileStatus {
    DWORD attributes = 0;
    std::int64_t size = 0;
    FILETIME lastWrite = {};
};

// Throws RunTimeFailure when the system cannot answer (missing file, wildcard, drive not ready).
FileStatus StatusOf(const std::wstring& fileSpec);

// True when the file cannot be opened for reading and writing without sharing: another
// handle holds it, it is read-only, access is denied, or it is no plain file.
bool IsHeldOpen(const std::wstring& fileSpec);

}  // namespace zankit::fileinfo
