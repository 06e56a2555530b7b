// zanSysInfo: one answer about the running system per call.
#include <windows.h>

#include <lmcons.h>

#include "fileinfo/display_texts.h"
#include "fileinfo/locale_reader.h"
#include "fileinfo/system_checks.h"
#include "fileinfo/win/answer_values.h"
#include "fileinfo/win/fileinfo_members.h"

namespace zankit::fileinfo {
namespace {

bool ReadVersion(OSVERSIONINFOW& version) {
    version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) != FALSE;
}

std::wstring ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size)) return {};
    return std::wstring(buffer, size);  // the size excludes the closing NUL here
}

std::wstring UserName() {
    wchar_t buffer[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(buffer, &size) || size == 0) return {};
    return std::wstring(buffer, size - 1);  // the size counts the closing NUL here
}

void Answer(zanSysInfoType infoType, Variant& answer) {
    OSVERSIONINFOW version;
    switch (static_cast<int>(infoType)) {
        case zanSysIsWin32:
            SetBool(answer, !IsWow64());
            break;
        case zanSysIsWinNT:
            SetBool(answer, IsWinNT());
            break;
        case zanSysOSMajorVersion:
            if (ReadVersion(version)) SetLong(answer, static_cast<long>(version.dwMajorVersion));
            break;
        case zanSysOSMinorVersion:
            if (ReadVersion(version)) SetLong(answer, static_cast<long>(version.dwMinorVersion));
            break;
        case zanSysOSBuild:
            if (ReadVersion(version)) SetLong(answer, static_cast<long>(version.dwBuildNumber));
            break;
        case zanSysOSExtraInfo:
            if (ReadVersion(version)) {
                version.szCSDVersion[sizeof version.szCSDVersion / sizeof(wchar_t) - 1] = L'\0';
                SetString(answer, version.szCSDVersion);
            }
            break;
        case zanSysBootMethod:
            SetLong(answer, GetSystemMetrics(SM_CLEANBOOT));
            break;
        case zanSysSecure:
            SetBool(answer, GetSystemMetrics(SM_SECURE) != 0);
            break;
        case zanSysNetworkPresent:
            SetBool(answer, (GetSystemMetrics(SM_NETWORK) & 1) != 0);
            break;
        case zanSysComputerName:
            SetString(answer, ComputerName());
            break;
        case zanSysUserName:
            SetString(answer, UserName());
            break;
        case zanSysSlowMachine:
            SetBool(answer, GetSystemMetrics(SM_SLOWMACHINE) != 0);
            break;
        case zanLocaleDecimalDelimiter:
            SetString(answer, UserLocaleText(LOCALE_SDECIMAL));
            break;
        case zanLocaleCurrencySpecifier:
            SetString(answer, SystemLocaleText(LOCALE_SCURRENCY));
            break;
        case zanLocaleShortDateFormat:
            SetString(answer, ShortDatePattern(UserLocaleText(LOCALE_SSHORTDATE)));
            break;
        case zanLocaleCurrencyDelimiter:
            SetString(answer, SystemLocaleText(LOCALE_SMONDECIMALSEP));
            break;
        case zanLocaleListDelimiter:
            SetString(answer, SystemLocaleText(LOCALE_SLIST));
            break;
        default:
            break;  // 0 (processor type) and unknown values: Empty
    }
}

}  // namespace

HRESULT SysInfo(zanSysInfoType infoType, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    Variant answer;
    Answer(infoType, answer);
    answer.MoveTo(result);
    return S_OK;
}

}  // namespace zankit::fileinfo
