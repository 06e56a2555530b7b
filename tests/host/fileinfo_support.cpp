#include "fileinfo_support.h"

#include <cmath>
#include <cwchar>

namespace fileinfotest {

std::wstring Shown(const CallResult& answer) {
    if (FAILED(answer.hr)) return L"<failed>";
    if (V_VT(&answer.value) == VT_EMPTY) return L"Empty";
    if (V_VT(&answer.value) == VT_BOOL) return answer.Flag() ? L"True" : L"False";
    return answer.Text();
}

std::vector<std::wstring> CollectionItems(const CallResult& answer) {
    std::vector<std::wstring> items;
    if (V_VT(&answer.value) != VT_DISPATCH || !V_DISPATCH(&answer.value)) return items;
    IDispatch* list = V_DISPATCH(&answer.value);
    for (long i = 1, count = hosttest::Get(list, L"Count").Number(); i <= count; ++i) {
        items.push_back(
            hosttest::Call(list, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {hosttest::Arg::Long(i)}).Text());
    }
    return items;
}

void MakeFile(const std::wstring& path, std::int64_t size, bool sparse) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    if (sparse) {
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    } else if (size > 0) {
        std::string bytes(static_cast<size_t>(size), 'x');
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
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

std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace fileinfotest
