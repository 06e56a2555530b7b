// FilesDelete and FolderDelete: delete through the shell, to the recycle bin on request.
// Neither reports: a failure or a cancellation answers False.
#include "fileops/shell_file_operation.h"
#include "fileops/win/fileops_members.h"
#include "fileops/win/source_names.h"
#include "frame/bstr.h"
#include "frame/raised_error.h"

namespace zankit::fileops {
namespace {

DeleteOptions DeleteOptionsOf(VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation, VARIANT_BOOL hideProgress,
                              LONG owner) {
    DeleteOptions options;
    options.allowUndo = allowUndo != VARIANT_FALSE;
    options.showConfirmation = showConfirmation != VARIANT_FALSE;
    options.hideProgress = hideProgress != VARIANT_FALSE;
    options.owner = owner;
    return options;
}

VARIANT_BOOL Answer(const ShellRequest& request) {
    return RunShellRequest(request).Succeeded() ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

HRESULT FilesDelete(VARIANT* fileNames, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                    VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    // Any number of names: the array is walked with a 32-bit index, like FilesCopy.
    SourceNames names = NamesOf(fileNames);
    if (FAILED(names.error)) throw RaisedError{names.error, names.description};
    *result = Answer(
        FilesDeleteRequest(SourceList(names.names), DeleteOptionsOf(allowUndo, showConfirmation, hideProgress, owner)));
    return S_OK;
}

HRESULT FolderDelete(BSTR* folderName, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation, VARIANT_BOOL hideProgress,
                     LONG owner, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    const std::wstring folder = folderName ? FromBstr(*folderName) : std::wstring();
    *result = Answer(FolderDeleteRequest(folder, DeleteOptionsOf(allowUndo, showConfirmation, hideProgress, owner)));
    return S_OK;
}

}  // namespace zankit::fileops
