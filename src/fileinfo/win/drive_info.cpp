// zanDriveInfo and CDROMpresent: answers about drives.
#include "fileinfo/win/drive_info.h"

#include <windows.h>

#include "fileinfo/display_texts.h"
#include "fileinfo/drive_detail.h"
#include "fileinfo/win/answer_values.h"
#include "fileinfo/win/file_queries.h"
#include "fileinfo/win/fileinfo_members.h"
#include "frame/bstr.h"
#include "paths/drive_lookup.h"
#include "paths/path_text.h"
#include "paths/win/path_system.h"

namespace zankit::fileinfo {
namespace {

constexpr long kSizeFree = 12;  // the free size in bytes has no name of its own
constexpr long kCdRom = DRIVE_CDROM;

std::wstring CurrentFolder() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return {};
    std::wstring folder(needed, L'\0');
    DWORD length = GetCurrentDirectoryW(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return folder;
}

// The drive ("C:") a DriveSpec argument names: "" gives the current folder's drive, a lone
// letter gets its colon.
std::wstring DriveOfSpec(const std::wstring& driveSpec) {
    std::wstring full = driveSpec;
    if (full.empty()) full = CurrentFolder();
    if (full.size() == 1) full += L':';
    return DriveNameOf(full);
}

void VolumeAnswer(const std::wstring& drive, long infoType, Variant& answer) {
    std::optional<VolumeFacts> facts = VolumeFactsOf(drive);
    if (!facts) return;
    if (infoType == zanDriveVolumeName) SetString(answer, facts->name);
    if (infoType == zanDriveFileSystem) SetString(answer, facts->fileSystem);
    if (infoType == zanDriveSerialNumber) SetString(answer, SerialNumberText(facts->serial));
}

void SizeAnswer(const std::wstring& drive, long infoType, Variant& answer) {
    std::optional<DriveSizes> sizes = DriveSizesOf(drive);
    if (!sizes) return;
    switch (infoType) {
        case zanDriveTotalSizekB:
            SetDouble(answer, static_cast<double>(sizes->total));
            break;
        case kSizeFree:
            SetDouble(answer, static_cast<double>(sizes->free));
            break;
        case zanDriveTotalSizeMB:
            SetString(answer, paths::SizeTextForUser(static_cast<std::int64_t>(sizes->total)));
            break;
        case zanDriveFreeSpaceMB:
            SetString(answer, paths::SizeTextForUser(static_cast<std::int64_t>(sizes->free)));
            break;
        default:
            break;
    }
}

}  // namespace

bool DriveExists(const std::wstring& driveSpec) { return paths::DriveStringExists(DriveOfSpec(driveSpec)); }

void DriveInfoAnswer(const std::wstring& driveSpec, long infoType, Variant& answer) {
    const std::wstring drive = DriveOfSpec(driveSpec);
    const bool exists = paths::DriveStringExists(drive);
    if (!exists) {
        if (infoType == zanDriveExists) SetBool(answer, false);
        return;
    }
    const bool ready = DriveIsReady(drive);
    if (!ready && infoType > zanDriveLetter) return;

    switch (infoType) {
        case zanDriveExists:
            SetBool(answer, true);
            break;
        case zanDriveIsReady:
            SetBool(answer, ready);
            break;
        case zanDriveType:
            SetLong(answer, DriveTypeOf(drive));
            break;
        case zanDriveTypeVerbose: {
            std::optional<std::wstring> text = DriveTypeText(DriveTypeOf(drive));
            if (text) {
                SetString(answer, *text);
            } else {
                SetNull(answer);
            }
            break;
        }
        case zanDriveLetter:
            SetString(answer, drive.substr(0, 1));
            break;
        case zanDrivePathWithColon:
            SetString(answer, drive);
            break;
        case zanDriveRootFolder:
            SetString(answer, paths::FixPath(drive));
            break;
        case zanDriveVolumeName:
        case zanDriveFileSystem:
        case zanDriveSerialNumber:
            VolumeAnswer(drive, infoType, answer);
            break;
        case zanDriveTotalSizekB:
        case zanDriveTotalSizeMB:
        case kSizeFree:
        case zanDriveFreeSpaceMB:
            SizeAnswer(drive, infoType, answer);
            break;
        case zanDriveTotalNumberOfDrives:
            SetLong(answer, static_cast<long>(GetLogicalDrives()));
            break;
        default:
            break;  // declared but not computed: Empty
    }
}

HRESULT DriveInfo(BSTR driveSpec, zanDriveInfoType infoType, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    Variant answer;
    DriveInfoAnswer(FromBstr(driveSpec), static_cast<long>(infoType), answer);
    answer.MoveTo(result);
    return S_OK;
}

HRESULT CdRomPresent(BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    // A, B and C are never optical drives here.
    for (wchar_t letter = L'D'; letter <= L'Z'; ++letter) {
        std::wstring drive{letter, L':'};
        if (DriveExists(drive) && DriveTypeOf(drive) == kCdRom) return ToBstr(drive, result);
    }
    return ToBstr(L"", result);
}

}  // namespace zankit::fileinfo
