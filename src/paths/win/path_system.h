// Path helpers that ask the system: existence, short names, file times, the user's
// decimal separator. All use the W calls, so any file name and long paths work.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace zankit::paths {

// The 8.3 form of an existing path, "" when the system has none.
std::wstring ShortPathOf(const std::wstring& path);

// True when a search for the path finds an entry: a file, a folder or a wildcard match.
bool FileExists(const std::wstring& path);

// Opens an existing file for reading with read/write sharing (random access hint).
HANDLE OpenForRead(const std::wstring& path, DWORD access);

// Selector 1 creation, 2 last access, 4 last write: the local time as a date value, 0 when
// the file cannot be opened or the selector is unknown.
double GetFileDate(const std::wstring& path, int selector);

// A file time as a date value (seconds precision), optionally converted to local time.
double FileTimeToDate(FILETIME time, bool toLocal);

// The decimal separator of the user's locale.
std::wstring UserDecimalSeparator();

// SizeText with the user's decimal separator.
std::wstring SizeTextForUser(std::int64_t bytes);

}  // namespace zankit::paths
