// ShellEx and SendMail as hosts see them: what the shell really started (a recorder program
// registered for a test file type and for "mailto") and the errors ShellEx raises.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_support.h"
#include "shell_support.h"

using namespace hosttest;
using namespace shelltest;

namespace {

constexpr const wchar_t* kFileClass = L"ZanKit.RecordedFile";
constexpr const wchar_t* kMailtoCommand = L"mailto\\shell\\open\\command";

bool SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring RecorderCommand(const wchar_t* word, const wchar_t* tail) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.rfind(L'\\') + 1);
    return L"\"" + path + L"shell_recorder.exe\" " + word + tail;
}

// Points the recorder at a fresh file; Wait() gives its record, "" when it did not come.
class RecorderRun {
public:
    RecorderRun() {
        static int counter = 0;
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        file_ = temp + (L"zankit-record-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
        SetEnvironmentVariableW(L"ZANKIT_RECORDER_FILE", file_.c_str());
    }
    std::wstring Wait() const {
        const std::string bytes = TakeFileOnceWritten(file_);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

private:
    std::wstring file_;
};

// Closes every window this process shows (the shell's error boxes, property sheets) while it
// lives, as a user would, so that nothing waits for an answer forever.
class WindowCloser {
public:
    WindowCloser()
        : worker_([this] {
              for (; !stop_; Sleep(100)) EnumWindows(CloseOwnWindow, 0);
          }) {}
    ~WindowCloser() {
        stop_ = true;
        worker_.join();
    }

private:
    static BOOL CALLBACK CloseOwnWindow(HWND window, LPARAM) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
        return TRUE;
    }
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

class ShellExecution : public ::testing::Test {
protected:
    // The ".zkrec" type starts the recorder with the verb as first argument; its default verb
    // is "record". The "mailto" handler it replaces is put back afterwards.
    static void SetUpTestSuite() {
        wchar_t previous[2048] = {};
        DWORD size = sizeof previous;
        RegGetValueW(HKEY_CLASSES_ROOT, kMailtoCommand, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr,
                     previous, &size);
        previousMailto_ = previous;
        const std::wstring shell = std::wstring(kFileClass) + L"\\shell";
        registered_ = SetDefaultValue(L".zkrec", kFileClass) && SetDefaultValue(shell, L"record") &&
                      SetDefaultValue(kMailtoCommand, RecorderCommand(L"mailto", L" \"%1\""));
        for (const wchar_t* verb : {L"record", L"open", L"print", L"explore", L"runas"}) {
            registered_ = registered_ &&
                          SetDefaultValue(shell + L"\\" + verb + L"\\command", RecorderCommand(verb, L" \"%1\" %*"));
        }
    }
    static void TearDownTestSuite() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".zkrec");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kFileClass);
        if (previousMailto_.empty()) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L"mailto");
        } else {
            SetDefaultValue(kMailtoCommand, previousMailto_);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(registered_) << "the test file type could not be registered";
        info_ = Create(L"ZanKit.FileSysInfo");
        ASSERT_TRUE(info_);
        folder_ = TempFolder();
    }

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
    ComPtr<IDispatch> info_;
    std::wstring folder_;
};

TEST_F(ShellExecution, VerbParametersFolderAndShowCommandReachTheStartedProgram) {
    struct Case {
        const wchar_t* name;
        long operation, showCmd;
        const wchar_t* parameters;
        bool withFolder;
        const wchar_t* verb;
        const wchar_t* show;
        long answer;  // 0: any success above 32
    } cases[] = {
        // Without parameters and folder the window is always shown normally.
        {L"plain.zkrec", 0, 3, L"", false, L"open", L"1", 0},
        {L"plain.zkrec", 0, 3, L"a b", false, L"open", L"3", 0},
        {L"plain.zkrec", 1, 7, L"", true, L"print", L"7", 0},
        {L"plain.zkrec", 2, 2, L"x", false, L"explore", L"2", 0},
        // 3 and values outside the enumeration ask for no verb: the type's default one runs.
        {L"plain.zkrec", 3, 2, L"p", false, L"record", L"2", 0},
        {L"plain.zkrec", 77, 4, L"", false, L"record", L"1", 0},
        {L"Setup.Exe.zkrec", 0, 5, L"/q", false, L"open", L"0", 0},
        // Raised rights: always shown, blank parameters dropped, -1 for success, and the
        // operation stays as it is on a system newer than major version 5.
        {L"plain.zkrec", 5, 0, L"  ", false, L"runas", L"5", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.name) + L" " + c.verb + L" " + c.parameters);
        const std::wstring file = NewFile(c.name);
        RecorderRun run;
        long operation = c.operation;
        CallResult answer = ShellEx(file, c.showCmd, c.parameters, c.withFolder ? folder_ : L"", operation);
        ASSERT_EQ(answer.hr, S_OK) << answer.Description();
        if (c.answer) {
            EXPECT_EQ(answer.Number(), c.answer);
        } else {
            EXPECT_GT(answer.Number(), 32);
        }
        EXPECT_EQ(operation, c.operation);
        // The record holds the arguments, the show command and, where one was given, the folder.
        std::wstring expected = std::wstring(c.verb) + L" \"" + file + L"\"";
        if (c.parameters[0] != L' ' && c.parameters[0]) expected += std::wstring(L" ") + c.parameters;
        expected += L"\n" + std::wstring(c.show) + L"\n" + (c.withFolder ? folder_ + L"\n" : L"");
        EXPECT_EQ(run.Wait().substr(0, expected.size()), expected);
    }
}

TEST_F(ShellExecution, PropertySheetAndRaisedRightsAnswerInsteadOfRaising) {
    WindowCloser closer;  // for the property sheet and the shell's error boxes
    long properties = 4;
    CallResult sheet = ShellEx(NewFile(L"sheet.zkrec"), 1, L"", L"", properties);
    EXPECT_EQ(sheet.hr, S_OK) << sheet.Description();
    EXPECT_TRUE(sheet.Number() == -1 || sheet.Number() == 0) << sheet.Number();
    for (const wchar_t* missing : {L"\\missing.zkrec", L"\\missing.zknone"}) {
        for (long operation : {4L, 5L}) {
            SCOPED_TRACE(std::wstring(missing) + L" " + std::to_wstring(operation));
            CallResult answer = ShellEx(folder_ + missing, 1, L"", L"", operation);
            EXPECT_EQ(answer.hr, S_OK) << answer.Description();
            EXPECT_EQ(answer.Number(), 0);
        }
    }
}

// The refusals Wine's shell produces on demand: it answers "file not found" for a missing folder
// too and has no "access denied"; the unit table of errors covers those rows.
TEST_F(ShellExecution, ShellRefusalsAreRaisedWithNumberSourceAndText) {
    struct Case {
        std::wstring file;
        HRESULT number;
        const wchar_t* description;
    } cases[] = {
        {folder_ + L"\\missing.zkrec", static_cast<HRESULT>(0x800A0035), L"File not found"},
        {NewFile(L"data.zknone"), static_cast<HRESULT>(0x800A001F),
         L"No application is associated with this file type."},
        {NewFile(L"broken.exe", "MZ"), static_cast<HRESULT>(0x80040423), L"The executable file is invalid or corrupt"},
    };
    WindowCloser closer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        long open = 0;
        CallResult answer = ShellEx(c.file, 1, L"", L"", open);
        EXPECT_EQ(answer.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(answer.exception.scode, c.number);
        EXPECT_EQ(answer.Source(), L"FileSysInfo.ShellEx");
        EXPECT_EQ(answer.Description(), c.description);
    }
}

TEST_F(ShellExecution, SendMailHandsTheEncodedLinkToTheMailHandler) {
    TakeLoggerRecords();  // whatever earlier tests left
    struct Case {
        const wchar_t* subject;
        const wchar_t* body;
        const wchar_t* link;
    } cases[] = {
        {L"Hi there", L"  ", L"mailto:anna@example.org?Subject=Hi%20there"},
        {L"Gr\u00FC\u00DFe & Q", L"Zeile 1\r\nZeile 2 #3? a%0D%0Ab",
         L"mailto:anna@example.org?Subject=Gr%C3%BC%C3%9Fe%20%26%20Q&Body=Zeile%201%0D%0AZeile%202%20%233%3F%20a%0D%"
         L"0Ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        RecorderRun run;
        CallResult answer = Call(info_.Get(), L"SendMail", DISPATCH_METHOD,
                                 {Arg::Text(L"anna@example.org"), Arg::Text(c.subject), Arg::Text(c.body)});
        ASSERT_EQ(answer.hr, S_OK) << answer.Description();
        const std::wstring expected = std::wstring(L"mailto \"") + c.link + L"\"\n1\n";
        EXPECT_EQ(run.Wait().substr(0, expected.size()), expected);
    }
    EXPECT_TRUE(TakeLoggerRecords().empty()) << "nothing unexpected to report";
}

}  // namespace
