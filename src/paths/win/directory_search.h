// A directory search (FindFirstFileExW/FindNextFileW) that ends its search handle when it goes.
#pragma once

#include <windows.h>

#include <string>

#include "frame/win_handles.h"

namespace zankit::paths {

class DirectorySearch {
public:
    // Starts a search for the pattern; Valid() tells whether it found a first entry.
    explicit DirectorySearch(const std::wstring& pattern)
        : handle_(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH)) {
        error_ = handle_.Valid() ? ERROR_SUCCESS : GetLastError();
    }
    bool Valid() const { return handle_.Valid(); }
    // The error of the first search (ERROR_SUCCESS when it found an entry).
    DWORD FirstError() const { return error_; }
    const WIN32_FIND_DATAW& Entry() const { return data_; }
    bool Next() { return FindNextFileW(handle_.Get(), &data_) != FALSE; }

private:
    WIN32_FIND_DATAW data_ = {};
    FindHandle handle_;
    DWORD error_ = ERROR_SUCCESS;
};

}  // namespace zankit::paths
