// FolderFileSetAttribute: sets the attributes of a file or folder and, for a folder on
// request, walks its tree: every read-only file gets the new attributes, every subfolder
// (except those whose names begin with ".") gets them too and is walked in turn.
#include <windows.h>

#include <vector>

#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "paths/drive_lookup.h"
#include "paths/long_path.h"
#include "paths/win/directory_search.h"

namespace zankit::fileops {
namespace {

using paths::LongPathForm;

struct SubFolder {
    std::wstring name;
    bool isLink = false;  // a reparse point: a junction or symbolic link (Wine marks host links so)
};

class AttributeWalk {
public:
    enum class Outcome { Done, NothingFound, Failed };

    explicit AttributeWalk(DWORD mask) : mask_(mask) {}

    // `path` names a file, a folder or a pattern; a folder ends with a separator.
    Outcome Run(const std::wstring& path, bool isFolder, bool deep) { return Level(path, isFolder && deep); }

    const Failure& LastFailure() const { return failure_; }

private:
    Outcome Fail(DWORD systemError, const std::wstring& what) {
        failure_ = {ObjectError(1000), L"ZanKit", std::to_wstring(systemError) + L"|" + what};
        return Outcome::Failed;
    }

    bool SetAttributes(const std::wstring& path) {
        return SetFileAttributesW(LongPathForm(path).c_str(), mask_) != FALSE;
    }

    Outcome Level(const std::wstring& path, bool deep) {
        std::vector<SubFolder> subFolders;  // unbounded: any number of subfolders
        {
            paths::DirectorySearch search(LongPathForm(path + L"*"));
            if (!search.Valid()) return Outcome::NothingFound;
            if (!SetAttributes(path)) return Fail(GetLastError(), path);
            if (!deep) return Outcome::Done;
            do {
                const WIN32_FIND_DATAW& entry = search.Entry();
                const std::wstring name = entry.cFileName;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (name.empty() || name[0] == L'.') continue;
                    subFolders.push_back({name, (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
                    continue;
                }
                const DWORD current = GetFileAttributesW(LongPathForm(path + name).c_str());
                if (!(current & FILE_ATTRIBUTE_READONLY)) continue;
                if (!SetAttributes(path + name)) return Fail(GetLastError(), name);
            } while (search.Next());
        }
        for (const SubFolder& sub : subFolders) {
            // A link gets its own attributes but is not walked: it may lead back up the tree.
            Outcome outcome = sub.isLink ? OwnAttributesOnly(path + sub.name) : Level(path + sub.name + L"\\", true);
            if (outcome != Outcome::Done) return outcome;
        }
        return Outcome::Done;
    }

    // A failure names the link as a walked subfolder's would be named: with the separator.
    Outcome OwnAttributesOnly(const std::wstring& link) {
        return SetAttributes(link) ? Outcome::Done : Fail(GetLastError(), link + L"\\");
    }

    DWORD mask_;
    Failure failure_;
};

}  // namespace

HRESULT FolderFileSetAttribute(BSTR pathName, LONG attributes, VARIANT_BOOL includeSubFolders, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    const DWORD mask = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes);
    std::wstring path = FromBstr(pathName);
    const bool isFolder = paths::FolderExists(path);
    if (isFolder && (path.empty() || path.back() != L'\\')) path += L'\\';

    // A file has no tree below it: only its own attributes change.
    AttributeWalk walk(mask);
    switch (walk.Run(path, isFolder, includeSubFolders != VARIANT_FALSE)) {
        case AttributeWalk::Outcome::Done:
            *result = VARIANT_TRUE;
            break;
        case AttributeWalk::Outcome::NothingFound:
            break;
        case AttributeWalk::Outcome::Failed:
            ReportFailure(walk.LastFailure(), L"|FileSysInfo:FolderFileSetAttribute#");
            break;
    }
    return S_OK;
}

}  // namespace zankit::fileops
