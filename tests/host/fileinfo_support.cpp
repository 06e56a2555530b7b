#include "fileinfo_support.h"

#include <cmath>
#include <cwchar>

namespace fileinfotest {

using hosttest::Arg;

CallResult SysInfo(IDispatch* info, long type) {
    return hosttest::Call(info, L"zanSysInfo", DISPATCH_METHOD, {Arg::Long(type)});
}
CallResult FileInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return hosttest::Call(info, L"zanFileInfo", DISPATCH_METHOD, {Arg::Text(fileSpec), Arg::Long(type)});
}
CallResult DriveInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return hosttest::Call(info, L"zanDriveInfo", DISPATCH_METHOD, {Arg::Text(fileSpec), Arg::Long(type)});
}
CallResult FolderInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return hosttest::Call(info, L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(fileSpec), Arg::Long(type)});
}

std::vector<std::wstring> CollectionItems(const CallResult& answer) {
    std::vector<std::wstring> items;
    if (V_VT(&answer.value) != VT_DISPATCH || !V_DISPATCH(&answer.value)) return items;
    IDispatch* list = V_DISPATCH(&answer.value);
    long count = hosttest::Get(list, L"Count").Number();
    for (long i = 1; i <= count; ++i) {
        items.push_back(hosttest::Call(list, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Arg::Long(i)}).Text());
    }
    return items;
}

void MakeFile(const std::wstring& path, std::int64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes(static_cast<size_t>(size), 'x');
    DWORD written = 0;
    if (size > 0) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void MakeSparseFile(const std::wstring& path, std::int64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER end;
    end.QuadPart = size;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

std::wstring PlatformLocaleText(LCID locale, LCTYPE item) {
    wchar_t buffer[256] = {};
    int length = GetLocaleInfoW(locale, item, buffer, 256);
    return length > 0 ? std::wstring(buffer, static_cast<size_t>(length - 1)) : std::wstring();
}

std::wstring PlatformSizeText(std::int64_t bytes) {
    const bool gigabytes = bytes >= (1LL << 30);
    const double value = static_cast<double>(bytes) / static_cast<double>(gigabytes ? (1LL << 30) : (1LL << 20));
    wchar_t number[64];
    std::swprintf(number, 64, L"%.2f", std::round(value * 100.0) / 100.0);
    std::wstring text(number);
    text.replace(text.find(L'.'), 1, PlatformLocaleText(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL));
    return text + (gigabytes ? L"GB" : L"MB");
}

double LocalDateOf(const FILETIME& time) {
    FILETIME local;
    FileTimeToLocalFileTime(&time, &local);
    SYSTEMTIME parts;
    FileTimeToSystemTime(&local, &parts);
    parts.wMilliseconds = 0;
    double date = 0;
    SystemTimeToVariantTime(&parts, &date);
    return date;
}

double LocalNowDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    now.wMilliseconds = 0;
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

bool IsEmpty(const CallResult& answer) { return SUCCEEDED(answer.hr) && V_VT(&answer.value) == VT_EMPTY; }

}  // namespace fileinfotest
