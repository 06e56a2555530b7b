// FolderMove and FolderCopy: move or copy a folder through the shell into a destination
// that is created first. Neither reports: a failure or a cancellation answers False.
#include "fileops/shell_file_operation.h"
#include "filesysinfo/win/file_sys_info.h"
#include "frame/bstr.h"

namespace zankit {
namespace {

fileops::FolderCopyMoveOptions FolderOptionsOf(VARIANT_BOOL* confirmation, LONG* window, BSTR* caption) {
    fileops::FolderCopyMoveOptions options;
    if (confirmation) options.confirmation = *confirmation != VARIANT_FALSE;
    if (window) options.window = *window;
    if (caption) options.caption = FromBstr(*caption);
    return options;
}

// Prepares the destination (FolderCreate reports its own failures; the operation goes on
// whatever it answers), then hands the folder to the shell.
VARIANT_BOOL FolderCopyMove(FileSysInfo& info, fileops::Operation operation, BSTR source, BSTR destination,
                            const fileops::FolderCopyMoveOptions& options) {
    VARIANT_BOOL created = VARIANT_FALSE;
    info.FolderCreate(destination, &created);
    const fileops::ShellRequest request =
        fileops::FolderCopyMoveRequest(operation, FromBstr(source), FromBstr(destination), options);
    return fileops::RunShellRequest(request).Succeeded() ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

STDMETHODIMP FileSysInfo::FolderMove(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                                     BSTR* caption, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        *result = FolderCopyMove(*this, fileops::Operation::Move, sourceDirectory, destDirectory,
                                 FolderOptionsOf(confirmation, hwnd, caption));
        return S_OK;
    });
}

STDMETHODIMP FileSysInfo::FolderCopy(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                                     BSTR* caption, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        *result = FolderCopyMove(*this, fileops::Operation::Copy, sourceDirectory, destDirectory,
                                 FolderOptionsOf(confirmation, hwnd, caption));
        return S_OK;
    });
}

}  // namespace zankit
