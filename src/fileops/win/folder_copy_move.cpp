// FolderMove and FolderCopy: move or copy a folder through the shell into a destination
// that is created first. Neither reports: a failure or a cancellation answers False.
#include "fileops/shell_file_operation.h"
#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"

namespace zankit::fileops {
namespace {

FolderCopyMoveOptions FolderOptionsOf(VARIANT_BOOL* confirmation, LONG* window, BSTR* caption) {
    FolderCopyMoveOptions options;
    if (confirmation) options.confirmation = *confirmation != VARIANT_FALSE;
    if (window) options.window = *window;
    if (caption) options.caption = FromBstr(*caption);
    return options;
}

// Prepares the destination, then hands the folder to the shell. FolderCreate reports its own
// failures, and the operation goes on whatever it answers, even when it fails outright.
VARIANT_BOOL FolderCopyMove(Operation operation, BSTR source, BSTR destination, const FolderCopyMoveOptions& options) {
    VARIANT_BOOL created = VARIANT_FALSE;
    try {
        FolderCreate(destination, &created);
    } catch (...) {
        // as a failed FolderCreate call: not looked at
    }
    const ShellRequest request = FolderCopyMoveRequest(operation, FromBstr(source), FromBstr(destination), options);
    return RunShellRequest(request).Succeeded() ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

HRESULT FolderMove(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd, BSTR* caption,
                   VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    *result =
        FolderCopyMove(Operation::Move, sourceDirectory, destDirectory, FolderOptionsOf(confirmation, hwnd, caption));
    return S_OK;
}

HRESULT FolderCopy(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd, BSTR* caption,
                   VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    *result =
        FolderCopyMove(Operation::Copy, sourceDirectory, destDirectory, FolderOptionsOf(confirmation, hwnd, caption));
    return S_OK;
}

}  // namespace zankit::fileops
