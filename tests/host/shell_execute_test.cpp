// ShellEx and SendMail as hosts see them: what the shell really started (a recorder program
// registered for a test file type and for "mailto") and the errors ShellEx raises.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

constexpr const wchar_t* kMailtoCommand = L"mailto\\shell\\open\\command";

bool SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The recorder started with `word` as its first argument, beside the test executable.
std::wstring RecorderCommand(const wchar_t* word, const wchar_t* tail) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return L"\"" + path.substr(0, path.rfind(L'\\') + 1) + L"shell_recorder.exe\" " + word + tail;
}

// Points the recorder at a fresh file and waits for its record (30 s cover a loaded machine):
// the arguments, the show command and the current folder, one line each.
std::wstring Recorded(const std::function<void()>& start) {
    const std::wstring file = TempFolder() + L"\\record";
    SetEnvironmentVariableW(L"ZANKIT_RECORDER_FILE", file.c_str());
    start();
    for (int tries = 0; tries < 600 && !Exists(file); ++tries) Sleep(50);
    const std::string bytes = Exists(file) ? ReadBytes(file) : "";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

BOOL CALLBACK CloseOwnWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Closes every window this process shows (the shell's error boxes, property sheets) while it
// lives, as a user would, so that nothing waits for an answer forever.
struct WindowCloser {
    std::atomic<bool> stop{false};
    std::thread worker{[this] {
        for (; !stop; Sleep(100)) EnumWindows(CloseOwnWindow, 0);
    }};
    ~WindowCloser() {
        stop = true;
        worker.join();
    }
};

class ShellExecution : public ::testing::Test {
protected:
    // ".zkrec" files start the recorder with the verb as first argument; the default verb is
    // "record". The "mailto" handler it replaces is put back afterwards.
    static void SetUpTestSuite() {
        wchar_t previous[2048] = {};
        DWORD size = sizeof previous;
        RegGetValueW(HKEY_CLASSES_ROOT, kMailtoCommand, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr,
                     previous, &size);
        previousMailto_ = previous;
        registered_ = SetDefaultValue(L".zkrec", L"ZanKit.RecordedFile") &&
                      SetDefaultValue(L"ZanKit.RecordedFile\\shell", L"record") &&
                      SetDefaultValue(kMailtoCommand, RecorderCommand(L"mailto", L" \"%1\""));
        for (const wchar_t* verb : {L"record", L"open", L"print", L"explore", L"runas"}) {
            registered_ =
                registered_ && SetDefaultValue(L"ZanKit.RecordedFile\\shell\\" + std::wstring(verb) + L"\\command",
                                               RecorderCommand(verb, L" \"%1\" %*"));
        }
    }
    static void TearDownTestSuite() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".zkrec");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"ZanKit.RecordedFile");
        if (previousMailto_.empty()) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L"mailto");
        } else {
            SetDefaultValue(kMailtoCommand, previousMailto_);
        }
    }
    void SetUp() override { ASSERT_TRUE(registered_) << "the test file type could not be registered"; }

    // ShellEx with the operation passed as a script variable, which the member may write back.
    CallResult ShellEx(const std::wstring& file, long showCmd, const std::wstring& parameters,
                       const std::wstring& directory, long& operation) {
        VARIANT variable;
        V_VT(&variable) = VT_I4;
        V_I4(&variable) = operation;
        CallResult answer = Call(
            info_.Get(), L"ShellEx", DISPATCH_METHOD,
            {Arg::Text(file), Arg::Long(showCmd), Arg::Text(parameters), Arg::Text(directory), Arg::RefTo(&variable)});
        operation = V_I4(&variable);
        return answer;
    }
    std::wstring NewFile(const std::wstring& name, const std::string& bytes = "x") {
        WriteBytes(folder_ + L"\\" + name, bytes);
        return folder_ + L"\\" + name;
    }

    static inline bool registered_ = false;
    static inline std::wstring previousMailto_;
    ComPtr<IDispatch> info_ = Create(L"ZanKit.FileSysInfo");
    std::wstring folder_ = TempFolder();
};

TEST_F(ShellExecution, VerbParametersFolderAndShowCommandReachTheStartedProgram) {
    const std::wstring file = NewFile(L"plain.zkrec");
    const struct {
        long operation, showCmd;
        const wchar_t* parameters;
        std::wstring folder;
        const wchar_t* record;  // verb, parameters and show command; the folder follows
        long answer;            // 0: any success above 32
    } rows[] = {
        // Without parameters and folder the window is always shown normally.
        {0, 3, L"", L"", L"open \"%s\"\n1\n", 0},
        {1, 7, L"", folder_, L"print \"%s\"\n7\n", 0},
        {2, 2, L"x", L"", L"explore \"%s\" x\n2\n", 0},
        // 3 and values outside the enumeration ask for no verb: the type's default one runs.
        {3, 2, L"p", L"", L"record \"%s\" p\n2\n", 0},
        {77, 4, L"", L"", L"record \"%s\"\n1\n", 0},
        // Raised rights: always shown, blank parameters dropped, -1 for success, and the
        // operation stays as it is on a system newer than major version 5.
        {5, 0, L"  ", L"", L"runas \"%s\"\n5\n", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.record);
        long operation = row.operation, answer = 0;
        std::wstring expected = row.record;
        expected.replace(expected.find(L"%s"), 2, file);
        expected += row.folder.empty() ? L"" : row.folder + L"\n";
        const std::wstring record = Recorded([&] {
            CallResult result = ShellEx(file, row.showCmd, row.parameters, row.folder, operation);
            EXPECT_EQ(result.hr, S_OK) << result.Description();
            answer = result.Number();
        });
        EXPECT_EQ(record.substr(0, expected.size()), expected);
        EXPECT_TRUE(row.answer ? answer == row.answer : answer > 32) << answer;
        EXPECT_EQ(operation, row.operation);
    }
}

TEST_F(ShellExecution, RefusalsAreRaisedExceptForThePropertySheetAndRaisedRights) {
    WindowCloser closer;  // for the property sheet and the shell's error boxes
    long properties = 4;
    CallResult sheet = ShellEx(NewFile(L"sheet.zkrec"), 1, L"", L"", properties);
    EXPECT_TRUE(sheet.hr == S_OK && (sheet.Number() == -1 || sheet.Number() == 0)) << sheet.Number();
    for (const wchar_t* missing : {L"\\missing.zkrec", L"\\missing.zknone"}) {
        for (long operation : {4L, 5L}) {
            CallResult answer = ShellEx(folder_ + missing, 1, L"", L"", operation);
            EXPECT_TRUE(answer.hr == S_OK && answer.Number() == 0) << testing::PrintToString(missing) << operation;
        }
    }
    // Wine's shell answers "file not found" for a missing folder too and has no "access denied";
    // the unit table of errors covers those.
    const struct {
        std::wstring file;
        HRESULT number;
        const wchar_t* description;
    } rows[] = {
        {folder_ + L"\\missing.zkrec", static_cast<HRESULT>(0x800A0035), L"File not found"},
        {NewFile(L"data.zknone"), static_cast<HRESULT>(0x800A001F),
         L"No application is associated with this file type."},
        {NewFile(L"broken.exe", "MZ"), static_cast<HRESULT>(0x80040423), L"The executable file is invalid or corrupt"},
    };
    for (const auto& row : rows) {
        long open = 0;
        CallResult answer = ShellEx(row.file, 1, L"", L"", open);
        EXPECT_EQ(answer.exception.scode, row.number) << row.description;
        EXPECT_EQ(answer.Source() + L": " + answer.Description(),
                  L"FileSysInfo.ShellEx: " + std::wstring(row.description));
    }
}

TEST_F(ShellExecution, SendMailHandsTheEncodedLinkToTheMailHandler) {
    TakeLoggerRecords();  // whatever earlier tests left
    const std::wstring record = Recorded([&] {
        EXPECT_EQ(Call(info_.Get(), L"SendMail", DISPATCH_METHOD,
                       {Arg::Text(L"anna@example.org"), Arg::Text(L"Gr\u00FC\u00DFe & Q"),
                        Arg::Text(L"Zeile 1\r\nZeile 2 #3? a%0D%0Ab")})
                      .hr,
                  S_OK);
    });
    EXPECT_EQ(record.substr(0, record.find(L'\n', record.find(L'\n') + 1) + 1),
              L"mailto \"mailto:anna@example.org?Subject=Gr%C3%BC%C3%9Fe%20%26%20Q&Body=Zeile%201%0D%0AZeile%202%20%"
              L"233%3F%20a%0D%0Ab\"\n1\n");
    EXPECT_TRUE(TakeLoggerRecords().empty()) << "nothing unexpected to report";
}

}  // namespace
