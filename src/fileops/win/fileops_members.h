// The file-operation and shell members of FileSysInfo, carried out here; the class forwards
// to them inside its error guard. Each takes the member's arguments and gives the member's
// HRESULT; a failure the caller sees as an automation error is thrown as RaisedError.
#pragma once

#include <windows.h>

#include "frame/zankit_interfaces.h"

namespace zankit::fileops {

HRESULT FilesCopy(VARIANT* fileNames, BSTR* moveTo, VARIANT_BOOL* showConfirmation, VARIANT_BOOL* hideProgress,
                  VARIANT_BOOL* renameOnCollision, LONG* owner, VARIANT_BOOL* result);
HRESULT FilesDelete(VARIANT* fileNames, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation,
                    VARIANT_BOOL hideProgress, LONG owner, VARIANT_BOOL* result);
HRESULT FolderCreate(BSTR createDirectory, VARIANT_BOOL* result);
HRESULT FolderMove(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd, BSTR* caption,
                   VARIANT_BOOL* result);
HRESULT FolderCopy(BSTR sourceDirectory, BSTR destDirectory, VARIANT_BOOL* confirmation, LONG* hwnd, BSTR* caption,
                   VARIANT_BOOL* result);
HRESULT FolderDelete(BSTR* folderName, VARIANT_BOOL allowUndo, VARIANT_BOOL showConfirmation, VARIANT_BOOL hideProgress,
                     LONG owner, VARIANT_BOOL* result);
HRESULT FolderFileSetAttribute(BSTR pathName, LONG attributes, VARIANT_BOOL includeSubFolders, VARIANT_BOOL* result);

HRESULT SendMail(BSTR emailAddress, BSTR* subject, BSTR* body);
HRESULT ShellEx(BSTR file, EShellShowConstants showCmd, BSTR parameters, BSTR defaultDir, shellOperation* operation,
                LONG* owner, LONG* result);
HRESULT CreateHyperlink(BSTR* hyperlink, BSTR* name, BSTR* folder, VARIANT_BOOL* result);
HRESULT CreateShortcut(BSTR title, BSTR targetFile, BSTR createInPath, BSTR workingDir, BSTR iconPath, LONG iconIndex,
                       BYTE hotKey, HOTKEYF hotKeyModifier, SW showCommand, LONG* result);

}  // namespace zankit::fileops
