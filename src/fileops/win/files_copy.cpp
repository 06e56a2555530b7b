// FilesCopy: copies one file or a list of files through the shell; the only shell member
// that reports a failing operation.
#include "fileops/shell_file_operation.h"
#include "fileops/win/fileops_members.h"
#include "fileops/win/source_names.h"
#include "frame/bstr.h"
#include "frame/raised_error.h"
#include "frame/report_error.h"

namespace zankit::fileops {

HRESULT FilesCopy(VARIANT* fileNames, BSTR* moveTo, VARIANT_BOOL* showConfirmation, VARIANT_BOOL* hideProgress,
                  VARIANT_BOOL* renameOnCollision, LONG* owner, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    SourceNames names = NamesOf(fileNames);
    if (FAILED(names.error)) throw RaisedError{names.error, names.description};
    const std::wstring sourceList = SourceList(names.names);
    const std::wstring destination = moveTo ? FromBstr(*moveTo) : std::wstring();

    FilesCopyOptions options;
    if (showConfirmation) options.showConfirmation = *showConfirmation != VARIANT_FALSE;
    if (hideProgress) options.hideProgress = *hideProgress != VARIANT_FALSE;
    if (renameOnCollision) options.renameOnCollision = *renameOnCollision != VARIANT_FALSE;
    if (owner) options.owner = *owner;

    const ShellAnswer answer = RunShellRequest(FilesCopyRequest(sourceList, destination, options));
    if (answer.returnCode != 0) {
        ReportError(L"FSO:FilesCopyMove", FilesCopyFailureText(answer.returnCode, sourceList, destination));
        return S_OK;
    }
    if (answer.Succeeded()) *result = VARIANT_TRUE;
    return S_OK;
}

}  // namespace zankit::fileops
