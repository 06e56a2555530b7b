// Which drives the system has, and whether a folder exists (a bare "X:" is asked of the
// drive list, anything else of a directory search).
#pragma once

#include <string>

namespace zankit::paths {

// True when the system's drive list (C:\, D:\, ...) contains the text, ignoring case.
bool DriveStringExists(const std::wstring& drive);

// The folder test of the folder and attribute members.
bool FolderExists(const std::wstring& path);

}  // namespace zankit::paths
