// FileSysInfo: answers about the system, files, drives and folders, file operations through
// the shell, dialogs, shell execution and shortcuts. One class; it forwards each member to the
// folder of its subject (fileinfo/, fileops/, dialogs/); the path members are answered here.
#pragma once

#include <windows.h>

#include "frame/dispatch_object.h"
#include "frame/zankit_interfaces.h"

namespace zankit {

class FileSysInfo final : public DispatchObject<_FileSysInfo> {
public:
    FileSysInfo();

    // Queries (fileinfo/)
    STDMETHODIMP zanSysInfo(zanSysInfoType infoType, VARIANT* result) override;
    STDMETHODIMP zanFileInfo(BSTR fileSpec, zanFileInfoType infoType, VARIANT* result) override;
    STDMETHODIMP zanDriveInfo(BSTR driveSpec, zanDriveInfoType infoType, VARIANT* result) override;
    STDMETHODIMP CDROMpresent(BSTR* result) override;
    STDMETHODIMP zanFolderInfo(BSTR folderSpec, zanFolderInfoType infoType, VARIANT* result) override;

    // Operations (fileops/)
    STDMETHODIMP FilesCopy(VARIANT* fileNames, BSTR* moveTo, VARIANT_BOOL* showConfirmation, VARIANT_BOOL* hideProgress,
                           VARIANT_BOOL* renameOnCollision, LONG* owner, VARIANT_BOOL* result) override;
    STDMETHODIMP FilesDelete(VARIANT* fileNames, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                             VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) override;
    STDMETHODIMP FolderCreate(BSTR createDirectory, VARIANT_BOOL* result) override;
    STDMETHODIMP FolderMove(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                            BSTR* caption, VARIANT_BOOL* result) override;
    STDMETHODIMP FolderCopy(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd,
                            BSTR* caption, VARIANT_BOOL* result) override;
    STDMETHODIMP FolderDelete(BSTR* folderName, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                              VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result) override;
    STDMETHODIMP FolderFileSetAttribute(BSTR pathName, LONG attributes, VARIANT_BOOL includeSubFolders,
                                        VARIANT_BOOL* result) override;

    // Dialogs (dialogs/)
    STDMETHODIMP BrowseForFolder(BSTR selectedFolder, BSTR* rootFolder, zanBrowseModeConstants* browseMode,
                                 zanPositionModeConstants* positionMode, BSTR* prompt, BSTR* caption, LONG* hwndOwner,
                                 VARIANT_BOOL* allowNewFolder, LONG* posLeft, LONG* posTop, VARIANT_BOOL* sizable,
                                 BSTR* result) override;
    STDMETHODIMP BrowseForFile(BSTR* fileSaveAs, BSTR* selectedFolder, enum zanFileType* fileType, BSTR* title,
                               VARIANT_BOOL* multiSelect, LONG* owner, zanPositionModeConstants* positionMode,
                               BSTR* filter, LONG* filterIndex, VARIANT* result) override;

    // Shell (fileops/)
    STDMETHODIMP SendMail(BSTR emailAddress, BSTR* subject, BSTR* body) override;
    STDMETHODIMP ShellEx(BSTR file, EShellShowConstants showCmd, BSTR parameters, BSTR defaultDir,
                         shellOperation* operation, LONG* owner, LONG* result) override;
    STDMETHODIMP CreateHyperlink(BSTR* hyperlink, BSTR* name, BSTR* folder, VARIANT_BOOL* result) override;
    STDMETHODIMP CreateShortcut(BSTR title, BSTR targetFile, BSTR createInPath, BSTR workingDir, BSTR iconPath,
                                LONG iconIndex, BYTE hotKey, HOTKEYF hotKeyModifier, SW showCommand,
                                LONG* result) override;

    // Path members (filesysinfo/)
    STDMETHODIMP FileNameFromPath(BSTR* sourceFileName, BSTR* result) override;
    STDMETHODIMP FixPath(BSTR* path, BSTR* result) override;
};

HRESULT CreateFileSysInfo(REFIID iid, void** out);

}  // namespace zankit
