// zanFolderInfo: one answer about a folder per call, the special folders and
// the file and folder lists. Failures are reported, never raised.
#include <windows.h>
#include <shlwapi.h>

#include <new>
#include <string>

#include "fileinfo/system_checks.h"
#include "fileinfo/win/answer_values.h"
#include "fileinfo/win/drive_info.h"
#include "fileinfo/win/file_queries.h"
#include "fileinfo/win/fileinfo_members.h"
#include "fileinfo/win/folder_listing.h"
#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/date_value.h"
#include "frame/error_info.h"
#include "frame/report_error.h"
#include "frame/run_time_failure.h"
#include "paths/drive_lookup.h"
#include "paths/path_parts.h"
#include "paths/path_text.h"
#include "paths/win/directory_search.h"
#include "paths/win/path_system.h"
#include "shell/file_type_name.h"
#include "shell/shell_folders.h"

namespace zankit::fileinfo {
namespace {

constexpr wchar_t kFolderInfoTag[] = L"|FileSysInfo:zanFolderInfo#";
constexpr wchar_t kSpecialFolderTag[] = L"|FileSysInfo:pGetSpecialFolderLocation#";

// The special folders 47 to 58 do not look at the folderspec argument.
bool IsFixedSpecialFolder(long infoType) { return infoType > 40 && infoType < 59; }

// The shell's special-folder number (CSIDL) behind an answer; -1 for the others.
long SpecialFolderNumber(long infoType) {
    switch (infoType) {
        case zanFolderStartProgramme:
            return 2;
        case zanFolderFavoritenAll:
            return 31;
        case zanFolderDesktop:
            return 0;
        case zanFolderWinDir:
            return 36;
        case zanFolderStartMenu:
            return 11;
        case zanFolderStartUp:
            return 7;
        case zanFolderPrograms:
            return 38;
        case zanFolderDocuments:
            return 5;
        case zanFolderFavorites:
            return 6;
        case zanFolderPrinters:
            return 4;
        case zanFolderAPPDATA:
            return 26;
        default:
            return -1;
    }
}
constexpr long kSystemFolder = 37;

std::wstring SpecialFolder(long number) {
    try {
        return shell::SpecialFolderLocation(number);
    } catch (const std::bad_alloc&) {
        ReportFailure(Failure{VbError(7), L"ZanKit", L"Out of memory"}, kSpecialFolderTag);
        return {};
    }
}

std::wstring SystemFolder() {
    if (!IsWow64()) return SpecialFolder(kSystemFolder);
    wchar_t buffer[MAX_PATH] = {};
    UINT length = GetSystemWow64DirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(buffer, length);
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) throw FailureForSystemError(GetLastError());
    return std::wstring(buffer, length);
}

std::wstring CurrentFolder() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) throw FailureForSystemError(GetLastError());
    std::wstring folder(needed, L'\0');
    DWORD length = GetCurrentDirectoryW(needed, folder.data());
    if (length == 0 || length >= needed) throw FailureForSystemError(GetLastError());
    folder.resize(length);
    return folder;
}

// The creation time of a folder (not of a bare drive) as a local date; nothing otherwise.
std::optional<double> DateCreated(const std::wstring& folder) {
    std::wstring stripped = paths::StripTrailingSeparator(folder);
    if (paths::IsBareDrive(stripped)) return std::nullopt;
    paths::DirectorySearch search(stripped);
    if (!search.Valid() || !(search.Entry().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return paths::FileTimeToDate(search.Entry().ftCreationTime, true);
}

void SetList(Variant& answer, const std::wstring& folder, long infoType) {
    Collection* raw = nullptr;
    HRESULT hr = CreateCollection(&raw);
    if (FAILED(hr)) throw std::bad_alloc();
    ComPtr<Collection> names = ComPtr<Collection>::Adopt(raw);
    if (!folder.empty()) {
        const bool pattern = folder.find(L'*') != std::wstring::npos;
        const std::wstring where = paths::FixPath(pattern ? paths::TextBeforeLastSeparator(folder) : folder);
        const std::wstring what = pattern ? LastPathElement(folder) : L"*.*";
        if (infoType == zanFolderFileNameCollection) {
            AddFileNames(where, what, *names.Get());
        } else {
            AddFolderNames(where, what, *names.Get());
        }
    }
    SetDispatch(answer, static_cast<IDispatch*>(names.Detach()));
}

// Answers that need an existing folder (or, for 59, a pattern).
void FolderAnswer(const std::wstring& folder, long infoType, Variant& answer) {
    switch (infoType) {
        case zanFolderExists:
            SetBool(answer, true);
            break;
        case zanFolderName:
            SetString(answer, paths::FolderName(folder));
            break;
        case zanFolderFullPath:
            SetString(answer, paths::FixPath(folder));
            break;
        case zanFolderPathOfParent:
            SetString(answer, paths::ParentFolderPath(folder));
            break;
        case zanFolderDrivenameOnlyWithColon:
            DriveInfoAnswer(folder, zanDrivePathWithColon, answer);
            break;
        case zanFolderDOSFolderName:
            SetString(answer, paths::FolderName(paths::ShortPathOf(folder)));
            break;
        case zanFolderDOSFullPathName:
            SetString(answer, paths::ShortPathOf(folder));
            break;
        case zanFolderType:
            SetString(answer, shell::FileTypeName(folder));
            break;
        case zanFolderDateCreated:
            if (std::optional<double> created = DateCreated(folder)) SetDate(answer, *created);
            break;
        case zanFolderDaysSinceDateCreated: {
            // A folder without a creation date counts from the date value 0.
            double created = DateCreated(folder).value_or(0.0);
            SetLong(answer, static_cast<long>(DaysBetween(created, LocalNow())));
            break;
        }
        case zanFolderAttributes:
            SetLong(answer, static_cast<long>(StatusOf(folder).attributes));
            break;
        case zanFolderAttributesLetters:
            SetString(answer, paths::AttributeLetters(static_cast<std::uint8_t>(StatusOf(folder).attributes & 0xFF)));
            break;
        case zanFolderRootFolder:
            SetBool(answer, PathIsRootW(folder.c_str()) != FALSE);
            break;
        case zanFolderNumberOfFiles:
            SetInteger(answer, -1);
            break;
        case zanFolderFileNameCollection:
        case zanFolderFolderNameCollection:
            SetList(answer, folder, infoType);
            break;
        case zanFolderAPPDATA:
            SetString(answer, SpecialFolder(SpecialFolderNumber(infoType)));
            break;
        default:
            break;  // declared but not computed (11, 12, 16, 17): Empty
    }
}

// `folder` is the folderspec being worked on, kept for the report.
void FolderInfoAnswer(std::wstring& folder, long infoType, Variant& answer) {
    if (IsFixedSpecialFolder(infoType)) {
        if (infoType == zanFolderSysDir) {
            SetString(answer, SystemFolder());
        } else if (infoType == zanFolderTempDir) {
            SetString(answer, TempFolder());
        } else if (SpecialFolderNumber(infoType) >= 0) {
            SetString(answer, SpecialFolder(SpecialFolderNumber(infoType)));
        }
        return;
    }
    if (folder.empty()) folder = CurrentFolder();
    if (folder.find(L'*') != std::wstring::npos) {
        if (infoType == zanFolderFileNameCollection) SetList(answer, folder, infoType);
        return;
    }
    if (!paths::FolderExists(folder)) {
        if (infoType == zanFolderFileNameCollection) SetList(answer, std::wstring(), infoType);
        return;
    }
    FolderAnswer(folder, infoType, answer);
}

}  // namespace

HRESULT FolderInfo(BSTR folderSpec, zanFolderInfoType infoType, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    std::wstring folder = FromBstr(folderSpec);
    const long type = static_cast<long>(infoType);
    Variant answer;
    Failure failure;
    try {
        FolderInfoAnswer(folder, type, answer);
        answer.MoveTo(result);
        return S_OK;
    } catch (const RunTimeFailure& caught) {
        failure = Failure{VbError(caught.number), L"ZanKit", caught.description};
    } catch (const std::bad_alloc&) {
        failure = Failure{VbError(7), L"ZanKit", L"Out of memory"};
    }
    ReportFailure(failure, kFolderInfoTag, folder + L"|" + std::to_wstring(type));
    return S_OK;  // the answer stays Empty
}

}  // namespace zankit::fileinfo
