// A program the shell starts for the test file type and the test "mailto" handler. It writes
// what it was started with to the file named by ZANKIT_RECORDER_FILE, as UTF-8 lines:
//   command=<its command line>
//   directory=<its current folder>
//   show=<the show command of its start-up information, or "none">
// The file appears in one step (written under another name, then renamed), so a test that
// waits for it never reads half a record.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    }
    return bytes;
}

std::wstring CurrentFolder() {
    wchar_t buffer[MAX_PATH * 4] = {};
    DWORD size = GetCurrentDirectoryW(MAX_PATH * 4, buffer);
    return std::wstring(buffer, size);
}

std::wstring ShowCommand() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    if (!(startup.dwFlags & STARTF_USESHOWWINDOW)) return L"none";
    return std::to_wstring(startup.wShowWindow);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t target[MAX_PATH * 4] = {};
    if (!GetEnvironmentVariableW(L"ZANKIT_RECORDER_FILE", target, MAX_PATH * 4)) return 2;
    const std::string record = Utf8(L"command=" + std::wstring(GetCommandLineW()) + L"\ndirectory=" + CurrentFolder() +
                                    L"\nshow=" + ShowCommand() + L"\n");
    const std::wstring partial = std::wstring(target) + L".partial";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || !MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING)) return 4;
    return 0;
}
