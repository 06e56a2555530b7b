// FileSysInfo.ShellEx: opens, prints or explores a file or folder through the shell, shows its
// property sheet, or starts it with raised rights. The shell's refusals reach the caller as
// automation errors with the source "FileSysInfo.ShellEx".
#include <windows.h>
#include <shellapi.h>

#include "fileops/percent_encoding.h"
#include "fileops/shell_execute_rules.h"
#include "filesysinfo/win/file_sys_info.h"
#include "frame/bstr.h"
#include "frame/variant.h"

namespace zankit {
namespace {

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

STDMETHODIMP FileSysInfo::ShellEx(BSTR file, EShellShowConstants showCmd, BSTR parameters, BSTR defaultDir,
                                  shellOperation* operation, LONG* owner, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    return Guarded([&]() -> HRESULT {
        const std::wstring fileText = FromBstr(file);
        std::wstring parameterText = FromBstr(parameters);
        const std::wstring directoryText = FromBstr(defaultDir);
        const HWND ownerWindow =
            owner && *owner ? reinterpret_cast<HWND>(static_cast<LONG_PTR>(*owner)) : GetDesktopWindow();
        long op = operation ? static_cast<long>(*operation) : shellexec::kOpen;

        if (op == shellexec::kRunAs) {
            Variant major;
            zanSysInfo(zanSysOSMajorVersion, major.Get());
            if (V_VT(major.Get()) == VT_I4 && V_I4(major.Get()) <= 5) {
                op = shellexec::kOpen;
                if (operation) *operation = shellOpen;
            }
        }
        if (op == shellexec::kViewProperties) {
            *result = ShellProperties(ownerWindow, fileText);
            return S_OK;
        }
        if (op == shellexec::kRunAs) {
            if (links::TrimSpaces(parameterText).empty()) parameterText.clear();
            *result = ShellRunAs(fileText, parameterText);
            return S_OK;
        }

        const int show = shellexec::ShowCommandFor(fileText, parameterText, directoryText, static_cast<int>(showCmd));
        const long answer = AsLong(ShellExecuteW(ownerWindow, shellexec::VerbFor(op), fileText.c_str(),
                                                 NullWhenEmpty(parameterText), NullWhenEmpty(directoryText), show));
        if (shellexec::IsShellSuccess(answer)) {
            *result = answer;
            return S_OK;
        }
        const shellexec::ShellError error = shellexec::ErrorForShellCode(answer);
        return RaiseFrom(static_cast<HRESULT>(error.number), L"FileSysInfo.ShellEx", error.description);
    });
}

}  // namespace zankit
