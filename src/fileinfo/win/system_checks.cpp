#include "fileinfo/system_checks.h"

#include <windows.h>

#include "frame/date_value.h"

namespace zankit::fileinfo {

bool IsWow64() {
    // Looked up at run time: systems before XP SP2 do not have the call.
    using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return false;
    auto call = reinterpret_cast<IsWow64ProcessCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (!call) return false;
    BOOL wow64 = FALSE;
    if (!call(GetCurrentProcess(), &wow64)) return false;
    return wow64 != FALSE;
}

bool IsWinNT() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version)) return false;
    return version.dwPlatformId > 1;
}

double LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    CalendarTime calendar{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    return DateFromCalendar(calendar);
}

}  // namespace zankit::fileinfo
