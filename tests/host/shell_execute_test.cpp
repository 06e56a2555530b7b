// ShellEx and SendMail as hosts see them: what the shell really started (through the recorder
// registered for a test file type and for "mailto"), and the errors ShellEx raises.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include <gtest/gtest.h>

#include "host_support.h"
#include "shell_support.h"

using namespace hosttest;
using namespace shelltest;

namespace {

class ShellExecution : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registration_ = new RecorderRegistration(); }
    static void TearDownTestSuite() {
        delete registration_;
        registration_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(registration_->Ready()) << "the test file type could not be registered";
        info_ = Create(L"ZanKit.FileSysInfo");
        ASSERT_TRUE(info_);
        folder_ = TempFolder();
    }

    // ShellEx(file, showCmd, parameters, directory, operation) with the operation passed as a
    // script variable, so the member can write it back.
    CallResult ShellEx(const std::wstring& file, long showCmd, const std::wstring& parameters,
                       const std::wstring& directory, VARIANT& operation) {
        return Call(
            info_.Get(), L"ShellEx", DISPATCH_METHOD,
            {Arg::Text(file), Arg::Long(showCmd), Arg::Text(parameters), Arg::Text(directory), Arg::RefTo(&operation)});
    }
    CallResult ShellEx(const std::wstring& file, long showCmd, const std::wstring& parameters,
                       const std::wstring& directory, long operation) {
        VARIANT variable;
        V_VT(&variable) = VT_I4;
        V_I4(&variable) = operation;
        return ShellEx(file, showCmd, parameters, directory, variable);
    }
    std::wstring RecordedFile(const std::wstring& name) {
        std::wstring path = folder_ + L"\\" + name;
        WriteTextFile(path);
        return path;
    }

    static RecorderRegistration* registration_;
    ComPtr<IDispatch> info_;
    std::wstring folder_;
};
RecorderRegistration* ShellExecution::registration_ = nullptr;

TEST_F(ShellExecution, VerbParametersFolderAndShowCommandReachTheStartedProgram) {
    struct Case {
        const wchar_t* name;
        long operation;
        long showCmd;
        const wchar_t* parameters;
        bool withFolder;
        const wchar_t* verb;
        const wchar_t* show;
    } cases[] = {
        // Without parameters and folder the window is always shown normally.
        {L"plain.zkrec", 0, 3, L"", false, L"open", L"1"},
        {L"plain.zkrec", 0, 3, L"a b", false, L"open", L"3"},
        {L"plain.zkrec", 1, 7, L"", true, L"print", L"7"},
        {L"plain.zkrec", 2, 2, L"x", false, L"explore", L"2"},
        // 3 and values outside the enumeration ask for no verb: the type's default one runs.
        {L"plain.zkrec", 3, 2, L"p", false, L"record", L"2"},
        {L"plain.zkrec", 77, 4, L"", false, L"record", L"1"},
        // A name holding ".EXE" starts hidden, except in the short form.
        {L"Setup.Exe.zkrec", 0, 5, L"/q", false, L"open", L"0"},
        {L"Setup.Exe.zkrec", 0, 5, L"", false, L"open", L"1"},
        {L"tools.exe-notes.zkrec", 1, 9, L"", true, L"print", L"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.name) + L" " + c.verb + L" " + c.parameters);
        const std::wstring file = RecordedFile(c.name);
        const std::wstring directory = c.withFolder ? folder_ : L"";
        RecorderRun run;
        CallResult answer = ShellEx(file, c.showCmd, c.parameters, directory, c.operation);
        ASSERT_EQ(answer.hr, S_OK) << answer.Description();
        EXPECT_GT(answer.Number(), 32);
        Record record = run.Wait();
        ASSERT_TRUE(record.arrived) << "the recorder was not started";
        std::wstring expected = std::wstring(c.verb) + L" \"" + file + L"\"";
        if (*c.parameters) expected += std::wstring(L" ") + c.parameters;
        EXPECT_EQ(record.arguments, expected);
        EXPECT_EQ(record.show, c.show) << record.text;
        if (c.withFolder) {
            EXPECT_EQ(record.directory, directory);
        }
    }
}

TEST_F(ShellExecution, RunAsAndPropertySheetNeverRaise) {
    const std::wstring file = RecordedFile(L"raised.zkrec");
    RecorderRun run;
    VARIANT operation;
    V_VT(&operation) = VT_I4;
    V_I4(&operation) = 5;
    CallResult runAs = ShellEx(file, 0, L"  ", L"", operation);
    ASSERT_EQ(runAs.hr, S_OK) << runAs.Description();
    EXPECT_EQ(runAs.Number(), -1);
    EXPECT_EQ(V_I4(&operation), 5) << "kept on a system newer than major version 5";
    Record record = run.Wait();
    ASSERT_TRUE(record.arrived);
    EXPECT_EQ(record.arguments, L"runas \"" + file + L"\"");  // blank parameters are dropped
    EXPECT_EQ(record.show, L"5");

    // A failing extended request may show the shell's error box, and a property sheet opens:
    // both are closed as a user would.
    WindowCloser closer;
    CallResult sheet = ShellEx(file, 1, L"", L"", 4);
    EXPECT_EQ(sheet.hr, S_OK) << sheet.Description();
    EXPECT_TRUE(sheet.Number() == -1 || sheet.Number() == 0) << sheet.Number();
    for (const std::wstring& target : {folder_ + L"\\missing.zkrec", folder_ + L"\\missing.zknone"}) {
        CallResult missing = ShellEx(target, 1, L"", L"", 5);
        EXPECT_EQ(missing.hr, S_OK) << missing.Description();
        EXPECT_EQ(missing.Number(), 0);
        CallResult properties = ShellEx(target, 1, L"", L"", 4);
        EXPECT_EQ(properties.hr, S_OK) << properties.Description();
        EXPECT_EQ(properties.Number(), 0);
    }
}

// The rows of the error table the shell produces on demand here. Wine's shell answers "file not
// found" for a missing folder too and has no case of "access denied"; those rows are checked in
// the unit tests of the table.
TEST_F(ShellExecution, ShellRefusalsAreRaisedWithNumberSourceAndText) {
    const std::wstring unknownType = folder_ + L"\\data.zknone";
    WriteTextFile(unknownType);
    // Not a program, though its name says so.
    const std::wstring brokenProgram = folder_ + L"\\broken.exe";
    WriteTextFile(brokenProgram, "MZ");
    struct Case {
        std::wstring file;
        HRESULT number;
        const wchar_t* description;
    } cases[] = {
        {folder_ + L"\\missing.zkrec", static_cast<HRESULT>(0x800A0035), L"File not found"},
        {unknownType, static_cast<HRESULT>(0x800A001F), L"No application is associated with this file type."},
        {brokenProgram, static_cast<HRESULT>(0x80040423), L"The executable file is invalid or corrupt"},
    };
    WindowCloser closer;
    for (const Case& c : cases) {
        CallResult answer = ShellEx(c.file, 1, L"", L"", 0);
        EXPECT_EQ(answer.hr, DISP_E_EXCEPTION) << c.file;
        EXPECT_EQ(answer.exception.scode, c.number) << c.file;
        EXPECT_EQ(answer.Source(), L"FileSysInfo.ShellEx") << c.file;
        EXPECT_EQ(answer.Description(), c.description) << c.file;
    }
}

TEST_F(ShellExecution, SendMailHandsTheEncodedLinkToTheMailHandler) {
    TakeLoggerRecords();  // whatever earlier tests left
    struct Case {
        const wchar_t* address;
        const wchar_t* subject;
        const wchar_t* body;
        const wchar_t* link;
    } cases[] = {
        {L"anna@example.org", L"Hi there", L"  ", L"mailto:anna@example.org?Subject=Hi%20there"},
        {L"anna@example.org", L"", L"x", L"mailto:anna@example.org?Subject=&Body=x"},
        {L"anna@example.org", L"Q&A", L"Zeile 1\r\nZeile 2 & mehr #3?",
         L"mailto:anna@example.org?Subject=Q%26A&Body=Zeile%201%0D%0AZeile%202%20%26%20mehr%20%233%3F"},
        {L"anna@example.org", L"Gr\u00FC\u00DFe", L"a%0D%0Ab",
         L"mailto:anna@example.org?Subject=Gr%C3%BC%C3%9Fe&Body=a%0D%0Ab"},
    };
    for (const Case& c : cases) {
        RecorderRun run;
        CallResult answer = Call(info_.Get(), L"SendMail", DISPATCH_METHOD,
                                 {Arg::Text(c.address), Arg::Text(c.subject), Arg::Text(c.body)});
        ASSERT_EQ(answer.hr, S_OK) << answer.Description();
        Record record = run.Wait();
        ASSERT_TRUE(record.arrived) << "the mail handler was not started for " << testing::PrintToString(c.link);
        EXPECT_EQ(record.arguments, std::wstring(L"mailto \"") + c.link + L"\"");
        EXPECT_EQ(record.show, L"1");
    }
    EXPECT_TRUE(TakeLoggerRecords().empty()) << "nothing unexpected to report";
}

}  // namespace
