// FileSysInfo.zanFileInfo: one answer about a file per call.
#include "fileinfo/file_info.h"

#include <windows.h>

#include "fileinfo/answer_values.h"
#include "fileinfo/display_texts.h"
#include "fileinfo/file_name_rules.h"
#include "fileinfo/file_queries.h"
#include "fileinfo/path_parts.h"
#include "fileinfo/run_time_failure.h"
#include "fileinfo/system_checks.h"
#include "frame/bstr.h"
#include "frame/date_value.h"
#include "frame/file_sys_info.h"
#include "frame/path_system.h"
#include "frame/path_text.h"
#include "small/file_type_name.h"

namespace zankit {
namespace fileinfo {
namespace {

constexpr std::int64_t kLargestLong = 2147483647;

// Questions 7 to 20 need an existing entry.
bool NeedsExistingEntry(long infoType) { return infoType >= zanDOSFilename && infoType <= zanFileAttributesLetters; }

bool IsAnswered(long infoType) {
    if (infoType < 0 || infoType > zanFileExecutable) return false;
    if (infoType == zanFilehIcon) return false;
    return !(infoType >= 25 && infoType <= 49);
}

long DaysSince(double date) { return static_cast<long>(DaysBetween(date, LocalNow())); }

}  // namespace

void FileInfoAnswer(const std::wstring& spec, long infoType, Variant& answer) {
    const bool exists = path::FileExists(spec);
    if (NeedsExistingEntry(infoType) && !exists) return;
    if (!IsAnswered(infoType)) return;

    switch (infoType) {
    case zanFileExists: SetBool(answer, exists); break;
    case zanFullFilename:
        if (auto full = FullPathOf(spec)) SetText(answer, *full);
        break;
    case zanFilenameWithoutPathname: SetText(answer, LastPathElement(spec)); break;
    case zanFilenameWithoutExtension: SetText(answer, NameWithoutExtension(LastPathElement(spec))); break;
    case zanFilenameExtensionOnly: SetText(answer, path::ExtensionOf(spec)); break;
    case zanPathnameOnlyWithoutFinalBackslash: SetText(answer, TextBeforeLastSeparator(spec)); break;
    case zanDrivenameOnlyWithColon: {
        std::wstring drive = DriveNameOf(spec);
        if (!drive.empty()) SetText(answer, drive);
        break;
    }
    case zanDOSFilename: SetText(answer, LastPathElement(path::ShortPathOf(spec))); break;
    case zanDOSFullPathname: SetText(answer, path::ShortPathOf(spec)); break;
    case zanFileType: SetText(answer, FileTypeName(spec)); break;
    case zanFileDateCreated: SetDate(answer, path::GetFileDate(spec, 1)); break;
    case zanFileDateLastAccessed: SetDate(answer, path::GetFileDate(spec, 2)); break;
    case zanFileDateLastModified: SetDate(answer, path::GetFileDate(spec, 4)); break;
    case zanFileDaysSinceDateCreated: SetLong(answer, DaysSince(path::GetFileDate(spec, 1))); break;
    case zanFileDaysSinceLastAccessed: SetLong(answer, DaysSince(path::GetFileDate(spec, 2))); break;
    case zanFileDaysSinceLastModified:
        SetLong(answer, DaysSince(path::FileTimeToDate(StatusOf(spec).lastWrite, true)));
        break;
    case zanFileSizeBytes: {
        // Sizes beyond a Long are answered exactly as a Double.
        std::int64_t size = StatusOf(spec).size;
        if (size <= kLargestLong) {
            SetLong(answer, static_cast<long>(size));
        } else {
            SetDouble(answer, static_cast<double>(size));
        }
        break;
    }
    case zanFileSizeKByte: SetText(answer, KiloByteText(StatusOf(spec).size, path::UserDecimalSeparator())); break;
    case zanFileSizeMByte: SetText(answer, path::SizeTextForUser(StatusOf(spec).size)); break;
    case zanFileAttributes: SetLong(answer, static_cast<long>(StatusOf(spec).attributes)); break;
    case zanFileAttributesLetters:
        SetText(answer, path::AttributeLetters(static_cast<std::uint8_t>(StatusOf(spec).attributes & 0xFF)));
        break;
    case zanFileIsInUse:
        // A free file leaves the answer Empty, which hosts read as False.
        if (!exists) {
            SetBool(answer, false);
        } else if (IsHeldOpen(spec)) {
            SetBool(answer, true);
        }
        break;
    case zanIsValidFileName: SetBool(answer, IsValidFileName(spec)); break;
    case zanFileNameValidate: SetText(answer, CleanFileName(spec)); break;
    case zanFileExecutable: {
        std::wstring extension = path::ExtensionOf(spec);
        if (!extension.empty()) SetBool(answer, IsExecutableExtension(extension));
        break;
    }
    default: break;
    }
}

}  // namespace fileinfo

STDMETHODIMP FileSysInfo::zanFileInfo(BSTR fileSpec, zanFileInfoType infoType, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    return Guarded([&] {
        Variant answer;
        try {
            fileinfo::FileInfoAnswer(FromBstr(fileSpec), static_cast<long>(infoType), answer);
        } catch (const fileinfo::RunTimeFailure& failure) {
            return Raise(VbError(failure.number), failure.description);
        }
        answer.MoveTo(result);
        return S_OK;
    });
}

}  // namespace zankit
