// Owners of directory-search and file handles; each closes its handle when it goes.
#pragma once

#include <windows.h>

#include <string>

namespace zankit {

class SearchHandle {
public:
    // Starts a search for the pattern; Valid() tells whether it found a first entry.
    explicit SearchHandle(const std::wstring& pattern) {
        handle_ = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
        error_ = handle_ == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    ~SearchHandle() {
        if (Valid()) FindClose(handle_);
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // The error of the first search (ERROR_SUCCESS when it found an entry).
    DWORD FirstError() const { return error_; }
    const WIN32_FIND_DATAW& Entry() const { return data_; }
    bool Next() { return FindNextFileW(handle_, &data_) != FALSE; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data_ = {};
    DWORD error_ = ERROR_SUCCESS;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (Valid()) CloseHandle(handle_);
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace zankit
