// FileSysInfo's members: each forwards, inside the error guard, to the folder of its subject.
#include "filesysinfo/win/file_sys_info.h"

#include "dialogs/win/dialogs_members.h"
#include "fileinfo/win/fileinfo_members.h"
#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "paths/path_text.h"

namespace zankit {

FileSysInfo::FileSysInfo() : DispatchObject(IID__FileSysInfo, L"ZanKit.FileSysInfo") {}

// Queries

STDMETHODIMP FileSysInfo::zanSysInfo(zanSysInfoType infoType, VARIANT* result) {
    return Guarded([&] { return fileinfo::SysInfo(infoType, result); });
}

STDMETHODIMP FileSysInfo::zanFileInfo(BSTR fileSpec, zanFileInfoType infoType, VARIANT* result) {
    return Guarded([&] { return fileinfo::FileInfo(fileSpec, infoType, result); });
}

STDMETHODIMP FileSysInfo::zanDriveInfo(BSTR driveSpec, zanDriveInfoType infoType, VARIANT* result) {
    return Guarded([&] { return fileinfo::DriveInfo(driveSpec, infoType, result); });
}

STDMETHODIMP FileSysInfo::CDROMpresent(BSTR* result) {
    return Guarded([&] { return fileinfo::CdRomPresent(result); });
}

STDMETHODIMP FileSysInfo::zanFolderInfo(BSTR folderSpec, zanFolderInfoType infoType, VARIANT* result) {
    return Guarded([&] { return fileinfo::FolderInfo(folderSpec, infoType, result); });
}

// Operations

STDMETHODIMP FileSysInfo::FilesCopy(VARIANT* fileNames, BSTR* moveTo, VARIANT_BOOL* showConfirmation,
                                    VARIANT_BOOL* hideProgress, VARIANT_BOOL* renameOnCollision, LONG* owner,
                                    VARIANT_BOOL* result) {
    return Guarded([&] {
        return fileops::FilesCopy(fileNames, moveTo, showConfirmation, hideProgress, renameOnCollision, owner, result);
    });
}

STDMETHODIMP FileSysInfo::FilesDelete(VARIANT* fileNames, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                                      VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) {
    return Guarded(
        [&] { return fileops::FilesDelete(fileNames, allowUndo, showConfirmation, hideProgress, owner, result); });
}

STDMETHODIMP FileSysInfo::FolderCreate(BSTR createDirectory, VARIANT_BOOL* result) {
    return Guarded([&] { return fileops::FolderCreate(createDirectory, result); });
}

STDMETHODIMP FileSysInfo::FolderMove(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                                     BSTR* caption, VARIANT_BOOL* result) {
    return Guarded(
        [&] { return fileops::FolderMove(sourceDirectory, destDirectory, confirmation, hwnd, caption, result); });
}

STDMETHODIMP FileSysInfo::FolderCopy(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                                     BSTR* caption, VARIANT_BOOL* result) {
    return Guarded(
        [&] { return fileops::FolderCopy(sourceDirectory, destDirectory, confirmation, hwnd, caption, result); });
}

STDMETHODIMP FileSysInfo::FolderDelete(BSTR* folderName, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                                       VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) {
    return Guarded(
        [&] { return fileops::FolderDelete(folderName, allowUndo, showConfirmation, hideProgress, owner, result); });
}

STDMETHODIMP FileSysInfo::FolderFileSetAttribute(BSTR pathName, LONG attributes, VARIANT_BOOL includeSubFolders,
                                                 VARIANT_BOOL* result) {
    return Guarded([&] { return fileops::FolderFileSetAttribute(pathName, attributes, includeSubFolders, result); });
}

// Dialogs; the position, new-folder and size arguments of BrowseForFolder and the position
// mode of BrowseForFile are accepted and not used.

STDMETHODIMP FileSysInfo::BrowseForFolder(BSTR selectedFolder, BSTR* rootFolder, zanBrowseModeConstants* browseMode,
                                          zanPositionModeConstants*, BSTR* prompt, BSTR* caption, LONG* hwndOwner,
                                          VARIANT_BOOL*, LONG*, LONG*, VARIANT_BOOL*, BSTR* result) {
    return Guarded([&] {
        return dialogs::BrowseForFolder(selectedFolder, rootFolder, browseMode, prompt, caption, hwndOwner, result);
    });
}

STDMETHODIMP FileSysInfo::BrowseForFile(BSTR* fileSaveAs, BSTR* selectedFolder, enum zanFileType* fileType, BSTR* title,
                                        VARIANT_BOOL* multiSelect, LONG* owner, zanPositionModeConstants*, BSTR* filter,
                                        LONG* filterIndex, VARIANT* result) {
    return Guarded([&] {
        return dialogs::BrowseForFile(fileSaveAs, selectedFolder, fileType, title, multiSelect, owner, filter,
                                      filterIndex, result);
    });
}

// Shell

STDMETHODIMP FileSysInfo::SendMail(BSTR emailAddress, BSTR* subject, BSTR* body) {
    return Guarded([&] { return fileops::SendMail(emailAddress, subject, body); });
}

STDMETHODIMP FileSysInfo::ShellEx(BSTR file, EShellShowConstants showCmd, BSTR parameters, BSTR defaultDir,
                                  shellOperation* operation, LONG* owner, LONG* result) {
    return Guarded([&] { return fileops::ShellEx(file, showCmd, parameters, defaultDir, operation, owner, result); });
}

STDMETHODIMP FileSysInfo::CreateHyperlink(BSTR* hyperlink, BSTR* name, BSTR* folder, VARIANT_BOOL* result) {
    return Guarded([&] { return fileops::CreateHyperlink(hyperlink, name, folder, result); });
}

STDMETHODIMP FileSysInfo::CreateShortcut(BSTR title, BSTR targetFile, BSTR createInPath, BSTR workingDir, BSTR iconPath,
                                         LONG iconIndex, BYTE hotKey, HOTKEYF hotKeyModifier, SW showCommand,
                                         LONG* result) {
    return Guarded([&] {
        return fileops::CreateShortcut(title, targetFile, createInPath, workingDir, iconPath, iconIndex, hotKey,
                                       hotKeyModifier, showCommand, result);
    });
}

// Paths

STDMETHODIMP FileSysInfo::FixPath(BSTR* path, BSTR* result) {
    if (!path || !result) return E_POINTER;
    return Guarded([&] { return ToBstr(paths::FixPath(FromBstr(*path)), result); });
}

STDMETHODIMP FileSysInfo::FileNameFromPath(BSTR* sourceFileName, BSTR* result) {
    if (!sourceFileName || !result) return E_POINTER;
    return Guarded([&] { return ToBstr(paths::FileNameFromPath(FromBstr(*sourceFileName)), result); });
}

HRESULT CreateFileSysInfo(REFIID iid, void** out) { return CreateAndQuery<FileSysInfo>(iid, out); }

}  // namespace zankit
