#include "fileinfo/win/folder_listing.h"

#include <windows.h>

#include <new>

#include "paths/win/directory_search.h"

namespace zankit::fileinfo {
namespace {

enum class Wanted { Files, Folders };

bool IsWanted(const WIN32_FIND_DATAW& entry, Wanted wanted) {
    const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (wanted == Wanted::Files) return !isFolder;
    return isFolder && entry.cFileName[0] != L'.';
}

void AddEntries(const std::wstring& folder, const std::wstring& pattern, Wanted wanted, Collection& names) {
    paths::DirectorySearch search(folder + pattern);
    if (!search.Valid()) return;
    std::wstring full = folder;
    do {
        const WIN32_FIND_DATAW& entry = search.Entry();
        if (!IsWanted(entry, wanted)) continue;
        full.resize(folder.size());
        full += entry.cFileName;  // the name ends at its NUL, whatever the previous name was
        if (FAILED(names.AddString(full))) throw std::bad_alloc();
    } while (search.Next());
}

}  // namespace

void AddFileNames(const std::wstring& folder, const std::wstring& pattern, Collection& names) {
    AddEntries(folder, pattern, Wanted::Files, names);
}

void AddFolderNames(const std::wstring& folder, const std::wstring& pattern, Collection& names) {
    AddEntries(folder, pattern, Wanted::Folders, names);
}

}  // namespace zankit::fileinfo
