// FilesDelete and FolderDelete: delete through the shell, to the recycle bin on request.
// Neither reports: a failure or a cancellation answers False.
#include "fileops/shell_file_operation.h"
#include "fileops/win/source_names.h"
#include "filesysinfo/win/file_sys_info.h"
#include "frame/bstr.h"

namespace zankit {
namespace {

fileops::DeleteOptions DeleteOptionsOf(VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation, VARIANT_BOOL hideProgress,
                                       LONG owner) {
    fileops::DeleteOptions options;
    options.allowUndo = allowUndo != VARIANT_FALSE;
    options.showConfirmation = showConfirmation != VARIANT_FALSE;
    options.hideProgress = hideProgress != VARIANT_FALSE;
    options.owner = owner;
    return options;
}

VARIANT_BOOL Answer(const fileops::ShellRequest& request) {
    return fileops::RunShellRequest(request).Succeeded() ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

STDMETHODIMP FileSysInfo::FilesDelete(VARIANT* fileNames, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                                      VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        // Any number of names: the array is walked with a 32-bit index, like FilesCopy.
        fileops::SourceNames names = fileops::NamesOf(fileNames);
        if (FAILED(names.error)) return Raise(names.error, names.description);
        *result = Answer(fileops::FilesDeleteRequest(
            fileops::SourceList(names.names), DeleteOptionsOf(allowUndo, showConfirmation, hideProgress, owner)));
        return S_OK;
    });
}

STDMETHODIMP FileSysInfo::FolderDelete(BSTR* folderName, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                                       VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        const std::wstring folder = folderName ? FromBstr(*folderName) : std::wstring();
        *result = Answer(
            fileops::FolderDeleteRequest(folder, DeleteOptionsOf(allowUndo, showConfirmation, hideProgress, owner)));
        return S_OK;
    });
}

}  // namespace zankit
