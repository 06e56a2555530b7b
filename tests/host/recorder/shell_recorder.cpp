// Started by the shell for the tests' file type and for "mailto": writes its arguments (the command
// line after its quoted path), show command ("none" without one) and current folder as three UTF-16
// lines to the file ZANKIT_RECORDER_FILE names, under another name first so nobody reads half.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t target[MAX_PATH * 4] = {}, folder[MAX_PATH * 4] = {};
    if (!GetEnvironmentVariableW(L"ZANKIT_RECORDER_FILE", target, MAX_PATH * 4)) return 2;
    GetCurrentDirectoryW(MAX_PATH * 4, folder);
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    const bool shown = startup.dwFlags & STARTF_USESHOWWINDOW;
    std::wstring arguments = GetCommandLineW();
    arguments.erase(0, arguments.find(L"\" ", 1) + 2);
    arguments.erase(arguments.find_last_not_of(L' ') + 1);
    const std::wstring record =
        arguments + L"\n" + (shown ? std::to_wstring(startup.wShowWindow) : L"none") + L"\n" + folder + L"\n";
    const std::wstring partial = std::wstring(target) + L".partial";
    FILE* file = _wfopen(partial.c_str(), L"wb");
    if (!file) return 3;
    fwrite(record.data(), sizeof(wchar_t), record.size(), file);
    fclose(file);
    return MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
