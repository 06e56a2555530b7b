#include "fileops/shell_request.h"

namespace zankit::fileops {
namespace {

// An owner window only for a positive handle value.
long OwnerOrNone(long owner) { return owner > 0 ? owner : 0; }

std::wstring SingleName(const std::wstring& name) {
    std::wstring list = name;
    list += L'\0';
    return list;
}

std::uint16_t DeleteFlags(const DeleteOptions& options) {
    std::uint16_t flags = options.allowUndo ? kAllowUndo : 0;
    if (!options.showConfirmation) flags |= kNoConfirmation;
    if (options.hideProgress) flags |= kSilent;
    return flags;
}

}  // namespace

std::wstring SourceList(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names) {
        list += name;
        list += L'\0';
    }
    return list;
}

ShellRequest FilesCopyRequest(const std::wstring& sourceList, const std::wstring& moveTo,
                              const FilesCopyOptions& options) {
    ShellRequest request;
    request.operation = Operation::Copy;
    request.from = sourceList;
    request.to = moveTo;
    request.owner = OwnerOrNone(options.owner);
    if (!options.showConfirmation) request.flags = kNoConfirmation;
    if (options.hideProgress) request.flags |= kSilent;
    if (options.renameOnCollision) request.flags |= kRenameOnCollision;
    return request;
}

ShellRequest FilesDeleteRequest(const std::wstring& sourceList, const DeleteOptions& options) {
    ShellRequest request;
    request.operation = Operation::Delete;
    request.from = sourceList;
    request.owner = OwnerOrNone(options.owner);
    request.flags = DeleteFlags(options);
    return request;
}

ShellRequest FolderDeleteRequest(const std::wstring& folderName, const DeleteOptions& options) {
    return FilesDeleteRequest(SingleName(folderName), options);
}

ShellRequest FolderCopyMoveRequest(Operation operation, const std::wstring& source, const std::wstring& destination,
                                   const FolderCopyMoveOptions& options) {
    ShellRequest request;
    request.operation = operation;
    request.from = SingleName(source);
    request.to = SingleName(destination);
    request.owner = options.window;
    if (!options.confirmation) request.flags = kNoConfirmation | kNoConfirmMakeFolder;
    if (options.window >= 1) {
        request.flags |= kSimpleProgress;
        if (!options.caption.empty()) {
            request.hasTitle = true;
            request.title = options.caption;
        }
    } else {
        request.flags |= kSilent;
    }
    return request;
}

std::wstring FilesCopyFailureText(int returnCode, const std::wstring& sourceList, const std::wstring& moveTo) {
    return L"HResult=" + std::to_wstring(returnCode) + L"| File= " + sourceList + L"| MoveTo= " + moveTo;
}

}  // namespace zankit::fileops
