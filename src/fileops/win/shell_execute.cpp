// ShellEx: opens, prints or explores a file or folder through the shell, shows its
// property sheet, or starts it with raised rights. The shell's refusals reach the caller as
// automation errors with the source "FileSysInfo.ShellEx".
#include <windows.h>
#include <shellapi.h>

#include "fileops/percent_encoding.h"
#include "fileops/shell_execute_rules.h"
#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/raised_error.h"

namespace zankit::fileops {
namespace {

// Systems before Vista have no raised rights; false when the system does not tell its version.
bool IsBeforeVista() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) && version.dwMajorVersion <= 5;
}

const wchar_t* NullWhenEmpty(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

long AsLong(HINSTANCE answer) { return static_cast<long>(reinterpret_cast<INT_PTR>(answer)); }

// Runs one extended request; -1 when the shell reports success, 0 otherwise. Never raises.
long RunExtended(SHELLEXECUTEINFOW& request) {
    request.cbSize = sizeof request;
    ShellExecuteExW(&request);  // the answer is read from hInstApp
    return AsLong(request.hInstApp) > 32 ? -1 : 0;
}

// The property sheet of a file.
long ShellProperties(HWND owner, const std::wstring& file) {
    SHELLEXECUTEINFOW request = {};
    request.fMask = SEE_MASK_INVOKEIDLIST;
    request.hwnd = owner;
    request.lpVerb = L"Properties";
    request.lpFile = file.c_str();
    request.lpParameters = L"";
    request.lpDirectory = L"";
    request.nShow = SW_SHOW;
    return RunExtended(request);
}

// Starts a file with raised rights; no owner window.
long ShellRunAs(const std::wstring& file, const std::wstring& parameters) {
    SHELLEXECUTEINFOW request = {};
    request.lpVerb = L"runas";
    request.lpFile = file.c_str();
    request.lpParameters = parameters.c_str();
    request.lpDirectory = L"";
    request.nShow = SW_SHOW;
    return RunExtended(request);
}

}  // namespace

HRESULT ShellEx(BSTR file, EShellShowConstants showCmd, BSTR parameters, BSTR defaultDir, shellOperation* operation,
                LONG* owner, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    const std::wstring fileText = FromBstr(file);
    std::wstring parameterText = FromBstr(parameters);
    const std::wstring directoryText = FromBstr(defaultDir);
    const HWND ownerWindow =
        owner && *owner ? reinterpret_cast<HWND>(static_cast<LONG_PTR>(*owner)) : GetDesktopWindow();
    long op = operation ? static_cast<long>(*operation) : kOpen;

    // Without raised rights the file is opened instead.
    if (op == kRunAs && IsBeforeVista()) {
        op = kOpen;
        if (operation) *operation = shellOpen;
    }
    if (op == kViewProperties) {
        *result = ShellProperties(ownerWindow, fileText);
        return S_OK;
    }
    if (op == kRunAs) {
        if (TrimSpaces(parameterText).empty()) parameterText.clear();
        *result = ShellRunAs(fileText, parameterText);
        return S_OK;
    }

    const int show = ShowCommandFor(fileText, parameterText, directoryText, static_cast<int>(showCmd));
    const long answer = AsLong(ShellExecuteW(ownerWindow, VerbFor(op), fileText.c_str(), NullWhenEmpty(parameterText),
                                             NullWhenEmpty(directoryText), show));
    if (IsShellSuccess(answer)) {
        *result = answer;
        return S_OK;
    }
    const ShellError error = ErrorForShellCode(answer);
    throw RaisedError{static_cast<HRESULT>(error.number), error.description, L"FileSysInfo.ShellEx"};
}

}  // namespace zankit::fileops
