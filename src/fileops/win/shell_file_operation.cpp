#include "fileops/shell_file_operation.h"

#include <windows.h>
#include <shellapi.h>

namespace zankit::fileops {

ShellAnswer RunShellRequest(const ShellRequest& request) {
    // The shell reads both lists up to a double NUL. One NUL more than the request holds
    // (plus the string's own terminator) closes them even when a list is empty.
    const std::wstring from = request.from + L'\0';
    const std::wstring to = request.to + L'\0';

    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(request.owner));
    operation.wFunc = static_cast<UINT>(request.operation);
    operation.pFrom = from.c_str();
    operation.pTo = request.operation == Operation::Delete ? nullptr : to.c_str();
    operation.fFlags = request.flags;
    operation.lpszProgressTitle = request.hasTitle ? request.title.c_str() : nullptr;

    ShellAnswer answer;
    answer.returnCode = SHFileOperationW(&operation);
    answer.aborted = operation.fAnyOperationsAborted != FALSE;
    return answer;
}

}  // namespace zankit::fileops
