#include "paths/win/path_system.h"

#include <vector>

#include "frame/date_value.h"
#include "paths/path_text.h"
#include "paths/win/directory_search.h"

namespace zankit::paths {

std::wstring ShortPathOf(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);  // long paths: grow to what the system asks for
    }
}

bool FileExists(const std::wstring& path) { return DirectorySearch(path).Valid(); }

HANDLE OpenForRead(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
}

double GetFileDate(const std::wstring& path, int selector) {
    KernelHandle file(OpenForRead(path, GENERIC_READ));
    if (!file.Valid()) return 0;
    FILETIME created, accessed, written;
    if (!GetFileTime(file.Get(), &created, &accessed, &written)) return 0;
    switch (selector) {
        case 1:
            return FileTimeToDate(created, true);
        case 2:
            return FileTimeToDate(accessed, true);
        case 4:
            return FileTimeToDate(written, true);
        default:
            return 0;
    }
}

double FileTimeToDate(FILETIME time, bool toLocal) {
    if (toLocal) {
        FILETIME local;
        if (FileTimeToLocalFileTime(&time, &local)) time = local;
    }
    SYSTEMTIME parts;
    if (!FileTimeToSystemTime(&time, &parts)) return 0;
    CalendarTime calendar{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
    return DateFromCalendar(calendar);
}

std::wstring UserDecimalSeparator() {
    wchar_t buffer[16] = {};
    int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 16);
    if (length <= 1) return L".";
    return std::wstring(buffer, static_cast<size_t>(length - 1));
}

std::wstring SizeTextForUser(std::int64_t bytes) { return SizeText(bytes, UserDecimalSeparator()); }

}  // namespace zankit::paths
