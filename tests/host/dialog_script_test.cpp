// The dialogs opened by the script hosts: this test starts cscript (of its own bitness) on
// tests/scripts/dialogs.js and .vbs and answers their dialogs from outside, like a user.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "dialog_driver.h"
#include "dialog_support.h"
#include "host_support.h"

using namespace hosttest;

namespace {

struct Step {
    std::wstring title;
    std::function<void(HWND)> act;
};

// Runs one script with "driven <folder>", answers its dialogs in order, returns its output.
std::string RunDrivenScript(const std::wstring& script, const std::wstring& folder, const std::vector<Step>& steps) {
    // The shared checks go in front of the script, as the test runner does it.
    const std::wstring extension = script.substr(script.find_last_of(L'.'));
    std::ifstream checks((L"..\\..\\..\\tests\\scripts\\include\\check" + extension).c_str(), std::ios::binary);
    std::ifstream body((L"..\\..\\..\\tests\\scripts\\" + script).c_str(), std::ios::binary);
    if (!checks || !body) return "script not found";
    const std::wstring scriptPath = TempFolder() + L"\\" + script;
    std::ofstream(scriptPath.c_str(), std::ios::binary) << checks.rdbuf() << body.rdbuf();
    const std::wstring outputFile = TempFolder() + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE output =
        CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) return "no output file";
    const std::wstring arch = sizeof(void*) == 8 ? L"64" : L"32";
    // From a 32-bit process, system32 is the 32-bit system folder: the script host matches.
    std::wstring command = L"C:\\windows\\system32\\cscript.exe //nologo \"" + std::wstring(scriptPath) + L"\" " +
                           arch + L" driven \"" + folder + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (!started) return "cscript did not start";
    for (const Step& step : steps) {
        HWND dialog = WaitForDialog(step.title, 30000);
        if (!dialog) {
            ADD_FAILURE() << "no dialog titled " << testing::PrintToString(step.title);
            break;
        }
        step.act(dialog);
        if (!WaitUntilClosed(dialog, 5000)) {
            ADD_FAILURE() << "still open: " << testing::PrintToString(step.title);
            Press(dialog, IDCANCEL);
        }
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the script did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream text(outputFile.c_str());
    std::stringstream all;
    all << text.rdbuf();
    return all.str();
}

}  // namespace

TEST(DialogScripts, JScriptOpensBothDialogs) {
    const std::wstring folder = ShortFolder();
    CloseHandle(CreateFileW((folder + L"\\Liste.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::string output =
        RunDrivenScript(L"dialogs.js", folder,
                        {{L"Skript: Datei", [](HWND dialog) { ChooseFiles(dialog, L"Liste.txt"); }},
                         {L"Skript: Ordner", [&](HWND dialog) {
                              WaitFor([&] { return FolderStatus(dialog) == folder; }, 5000);
                              Press(dialog, IDOK);
                          }}});
    EXPECT_NE(output.find("6 passed, 0 failed"), std::string::npos) << output;
}

TEST(DialogScripts, VBScriptGetsArraysAndWriteBacks) {
    const std::wstring folder = FolderWithFiles({L"a.txt", L"b.txt"});
    const std::string output =
        RunDrivenScript(L"dialogs.vbs", folder,
                        {{L"Skript: Auswahl", [](HWND dialog) { ChooseFiles(dialog, L"\"a.txt\" \"b.txt\""); }},
                         {L"Skript: Filter", [](HWND dialog) { Press(dialog, IDCANCEL); }}});
    EXPECT_NE(output.find("11 passed, 0 failed"), std::string::npos) << output;
}
