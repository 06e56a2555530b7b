// zanFileInfo: one answer about a file per call.
#include "fileinfo/win/file_info.h"

#include <windows.h>

#include "fileinfo/display_texts.h"
#include "fileinfo/file_name_rules.h"
#include "fileinfo/system_checks.h"
#include "fileinfo/win/answer_values.h"
#include "fileinfo/win/file_queries.h"
#include "fileinfo/win/fileinfo_members.h"
#include "frame/bstr.h"
#include "frame/date_value.h"
#include "frame/error_info.h"
#include "frame/raised_error.h"
#include "frame/run_time_failure.h"
#include "frame/vb_numbers.h"
#include "paths/path_parts.h"
#include "paths/path_text.h"
#include "paths/win/path_system.h"
#include "shell/file_type_name.h"

namespace zankit::fileinfo {
namespace {

// Questions 7 to 20 need an existing entry.
bool NeedsExistingEntry(long infoType) { return infoType >= zanDOSFilename && infoType <= zanFileAttributesLetters; }

bool IsAnswered(long infoType) {
    if (infoType < 0 || infoType > zanFileExecutable) return false;
    if (infoType == zanFilehIcon) return false;
    return !(infoType >= 25 && infoType <= 49);
}

long DaysSince(double date) { return static_cast<long>(DaysBetween(date, LocalNow())); }

}  // namespace

void FileInfoAnswer(const std::wstring& fileSpec, long infoType, Variant& answer) {
    const bool exists = paths::FileExists(fileSpec);
    if (NeedsExistingEntry(infoType) && !exists) return;
    if (!IsAnswered(infoType)) return;

    switch (infoType) {
        case zanFileExists:
            SetBool(answer, exists);
            break;
        case zanFullFilename:
            if (auto full = FullPathOf(fileSpec)) SetString(answer, *full);
            break;
        case zanFilenameWithoutPathname:
            SetString(answer, LastPathElement(fileSpec));
            break;
        case zanFilenameWithoutExtension:
            SetString(answer, paths::NameWithoutExtension(LastPathElement(fileSpec)));
            break;
        case zanFilenameExtensionOnly:
            SetString(answer, paths::ExtensionOf(fileSpec));
            break;
        case zanPathnameOnlyWithoutFinalBackslash:
            SetString(answer, paths::TextBeforeLastSeparator(fileSpec));
            break;
        case zanDrivenameOnlyWithColon: {
            std::wstring drive = DriveNameOf(fileSpec);
            if (!drive.empty()) SetString(answer, drive);
            break;
        }
        case zanDOSFilename:
            SetString(answer, LastPathElement(paths::ShortPathOf(fileSpec)));
            break;
        case zanDOSFullPathname:
            SetString(answer, paths::ShortPathOf(fileSpec));
            break;
        case zanFileType:
            SetString(answer, shell::FileTypeName(fileSpec));
            break;
        case zanFileDateCreated:
            SetDate(answer, paths::GetFileDate(fileSpec, 1));
            break;
        case zanFileDateLastAccessed:
            SetDate(answer, paths::GetFileDate(fileSpec, 2));
            break;
        case zanFileDateLastModified:
            SetDate(answer, paths::GetFileDate(fileSpec, 4));
            break;
        case zanFileDaysSinceDateCreated:
            SetLong(answer, DaysSince(paths::GetFileDate(fileSpec, 1)));
            break;
        case zanFileDaysSinceLastAccessed:
            SetLong(answer, DaysSince(paths::GetFileDate(fileSpec, 2)));
            break;
        case zanFileDaysSinceLastModified:
            SetLong(answer, DaysSince(paths::FileTimeToDate(StatusOf(fileSpec).lastWrite, true)));
            break;
        case zanFileSizeBytes: {
            // Sizes beyond a Long are answered exactly as a Double.
            std::int64_t size = StatusOf(fileSpec).size;
            if (size <= kLargestLong) {
                SetLong(answer, static_cast<long>(size));
            } else {
                SetDouble(answer, static_cast<double>(size));
            }
            break;
        }
        case zanFileSizeKByte:
            SetString(answer, KiloByteText(StatusOf(fileSpec).size, paths::UserDecimalSeparator()));
            break;
        case zanFileSizeMByte:
            SetString(answer, paths::SizeTextForUser(StatusOf(fileSpec).size));
            break;
        case zanFileAttributes:
            SetLong(answer, static_cast<long>(StatusOf(fileSpec).attributes));
            break;
        case zanFileAttributesLetters:
            SetString(answer, paths::AttributeLetters(static_cast<std::uint8_t>(StatusOf(fileSpec).attributes & 0xFF)));
            break;
        case zanFileIsInUse:
            // A free file leaves the answer Empty, which hosts read as False.
            if (!exists) {
                SetBool(answer, false);
            } else if (IsHeldOpen(fileSpec)) {
                SetBool(answer, true);
            }
            break;
        case zanIsValidFileName:
            SetBool(answer, IsValidFileName(fileSpec));
            break;
        case zanFileNameValidate:
            SetString(answer, CleanFileName(fileSpec));
            break;
        case zanFileExecutable: {
            std::wstring extension = paths::ExtensionOf(fileSpec);
            if (!extension.empty()) SetBool(answer, IsExecutableExtension(extension));
            break;
        }
        default:
            break;
    }
}

HRESULT FileInfo(BSTR fileSpec, zanFileInfoType infoType, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    Variant answer;
    try {
        FileInfoAnswer(FromBstr(fileSpec), static_cast<long>(infoType), answer);
    } catch (const RunTimeFailure& failure) {
        throw RaisedError{VbError(failure.number), failure.description};
    }
    answer.MoveTo(result);
    return S_OK;
}

}  // namespace zankit::fileinfo
