// File helpers shared by the shell member tests.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace shelltest {

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void WriteBytes(const std::wstring& path, const std::string& bytes = "x") {
    if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
}

inline std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
        fclose(file);
    }
    return bytes;
}

// Waits for a file another process writes in one step (30 s cover a loaded machine), then
// takes it away; "" when it did not come.
inline std::string TakeFileOnceWritten(const std::wstring& path) {
    for (int tries = 0; tries < 600 && !FileExists(path); ++tries) Sleep(50);
    std::string bytes = ReadBytes(path);
    DeleteFileW(path.c_str());
    return bytes;
}

}  // namespace shelltest
