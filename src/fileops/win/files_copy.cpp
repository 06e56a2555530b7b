// FilesCopy: copies one file or a list of files through the shell; the only shell member
// that reports a failing operation.
#include "fileops/shell_file_operation.h"
#include "fileops/win/source_names.h"
#include "filesysinfo/win/file_sys_info.h"
#include "frame/bstr.h"
#include "frame/report_error.h"

namespace zankit {

STDMETHODIMP FileSysInfo::FilesCopy(VARIANT* fileNames, BSTR* moveTo, VARIANT_BOOL* showConfirmation,
                                    VARIANT_BOOL* hideProgress, VARIANT_BOOL* renameOnCollision, LONG* owner,
                                    VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        fileops::SourceNames names = fileops::NamesOf(fileNames);
        if (FAILED(names.error)) return Raise(names.error, names.description);
        const std::wstring sourceList = fileops::SourceList(names.names);
        const std::wstring destination = moveTo ? FromBstr(*moveTo) : std::wstring();

        fileops::FilesCopyOptions options;
        if (showConfirmation) options.showConfirmation = *showConfirmation != VARIANT_FALSE;
        if (hideProgress) options.hideProgress = *hideProgress != VARIANT_FALSE;
        if (renameOnCollision) options.renameOnCollision = *renameOnCollision != VARIANT_FALSE;
        if (owner) options.owner = *owner;

        const fileops::ShellAnswer answer =
            fileops::RunShellRequest(fileops::FilesCopyRequest(sourceList, destination, options));
        if (answer.returnCode != 0) {
            ReportError(L"FSO:FilesCopyMove",
                        fileops::FilesCopyFailureText(answer.returnCode, sourceList, destination));
            return S_OK;
        }
        if (answer.Succeeded()) *result = VARIANT_TRUE;
        return S_OK;
    });
}

}  // namespace zankit
