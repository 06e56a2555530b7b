// FolderFileSetAttribute: sets the attributes of a file or folder and, for a folder on
// request, walks its tree: every read-only file gets the new attributes, every subfolder
// (except those whose names begin with ".") gets them too and is walked in turn.
#include <windows.h>

#include <set>
#include <tuple>
#include <vector>

#include "fileinfo/drive_lookup.h"
#include "fileops/long_path.h"
#include "filesysinfo/directory_search.h"
#include "filesysinfo/file_sys_info.h"
#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "frame/win_handles.h"

namespace zankit {
namespace {

using fileops::LongPathForm;

// Which folder a path leads to, whatever link it goes through.
struct FolderIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator<(const FolderIdentity& other) const {
        return std::tie(volume, indexHigh, indexLow) < std::tie(other.volume, other.indexHigh, other.indexLow);
    }
};

bool IdentityOf(const std::wstring& folder, FolderIdentity& identity) {
    KernelHandle handle(CreateFileW(LongPathForm(folder).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!handle || !GetFileInformationByHandle(handle.Get(), &information)) return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

struct SubFolder {
    std::wstring name;
    bool isLink = false;  // a reparse point (junction, symbolic link): never walked into
};

class AttributeWalk {
public:
    enum class Outcome { Done, NothingFound, Failed };

    explicit AttributeWalk(DWORD mask) : mask_(mask) {}

    // `path` names a file, a folder or a pattern; a folder ends with a separator.
    Outcome Run(const std::wstring& path, bool isFolder, bool deep) {
        if (isFolder) {
            FolderIdentity identity;
            if (IdentityOf(path, identity)) visited_.insert(identity);
        }
        return Level(path, isFolder && deep);
    }

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
            DirectorySearch search(LongPathForm(path + L"*"));
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
            const std::wstring folder = path + sub.name + L"\\";
            Outcome outcome = EnterOnce(folder, sub.isLink) ? Level(folder, true) : OwnAttributesOnly(folder);
            if (outcome != Outcome::Done) return outcome;
        }
        return Outcome::Done;
    }

    // False for a link and for a folder the walk has seen already (a link that leads back
    // up the tree, which the system may not mark as a reparse point).
    bool EnterOnce(const std::wstring& folder, bool isLink) {
        if (isLink) return false;
        FolderIdentity identity;
        if (!IdentityOf(folder, identity)) return true;
        return visited_.insert(identity).second;
    }

    Outcome OwnAttributesOnly(const std::wstring& folder) {
        return SetAttributes(folder) ? Outcome::Done : Fail(GetLastError(), folder);
    }

    DWORD mask_;
    std::set<FolderIdentity> visited_;
    Failure failure_;
};

}  // namespace

STDMETHODIMP FileSysInfo::FolderFileSetAttribute(BSTR pathName, LONG attributes, VARIANT_BOOL includeSubFolders,
                                                 VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        const DWORD mask = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes);
        std::wstring path = FromBstr(pathName);
        const bool isFolder = FolderExists(path);
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
    });
}

}  // namespace zankit
