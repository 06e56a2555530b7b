#include "fileinfo/drive_detail.h"

#include <windows.h>

#include "paths/path_text.h"
#include "paths/win/directory_search.h"

namespace zankit::fileinfo {

bool DriveIsReady(const std::wstring& drive) {
    paths::DirectorySearch search(drive + L"\\*.*");
    if (search.Valid()) return true;
    DWORD error = search.FirstError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

long DriveTypeOf(const std::wstring& drive) { return static_cast<long>(GetDriveTypeW(paths::FixPath(drive).c_str())); }

std::optional<VolumeFacts> VolumeFactsOf(const std::wstring& drive) {
    wchar_t name[MAX_PATH + 1] = {};
    wchar_t fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (!GetVolumeInformationW(paths::FixPath(drive).c_str(), name, MAX_PATH + 1, &serial, nullptr, nullptr, fileSystem,
                               MAX_PATH + 1)) {
        return std::nullopt;
    }
    return VolumeFacts{name, fileSystem, serial};
}

std::optional<DriveSizes> DriveSizesOf(const std::wstring& drive) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(paths::FixPath(drive).c_str(), &available, &total, &free)) return std::nullopt;
    return DriveSizes{total.QuadPart, free.QuadPart};
}

}  // namespace zankit::fileinfo
