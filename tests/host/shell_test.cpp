// The shell members as hosts see them: the files CreateShortcut and CreateHyperlink write, read
// back by the shell's link object and byte by byte; what ShellEx and SendMail really started (a
// recorder registered for a test file type and for "mailto") and the errors ShellEx raises.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"
#include "window_driver.h"

using namespace hosttest;

namespace {

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

// A link file as the shell's link object reads it, and the icon index, hot key and show command
// from its header (Wine's link object does not give back the show command).
std::string LinkFields(const std::wstring& path) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    const std::string bytes = ReadBytes(path);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) || FAILED(file->Load(path.c_str(), STGM_READ)) ||
        bytes.size() < 0x4C) {
        return "not loaded";
    }
    wchar_t target[MAX_PATH] = {}, description[MAX_PATH] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int unused = 0;
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetDescription(description, MAX_PATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &unused);
    auto header = [&bytes](size_t at, size_t size) {  // a little-endian field
        std::uint32_t value = 0;
        std::memcpy(&value, &bytes[at], size);
        return std::to_string(static_cast<std::int32_t>(value));
    };
    return "target=" + Narrow(target) + "\ndescription=" + Narrow(description) + "\nworking_dir=" + Narrow(folder) +
           "\nicon_location=" + Narrow(icon) + "\nicon_index=" + header(0x38, 4) + "\nhotkey=" + header(0x40, 2) +
           "\nshow_command=" + header(0x3C, 4) + "\n";
}

CallResult CreateShortcut(IDispatch* info, const std::wstring& title, const std::wstring& target,
                          const std::wstring& folder, std::vector<Arg> optional = {}) {
    std::vector<Arg> args{Arg::Text(title), Arg::Text(target), Arg::Text(folder)};
    for (const Arg& a : optional) args.push_back(a);
    return Call(info, L"CreateShortcut", DISPATCH_METHOD, std::move(args));
}

// The object from the library's own class factory, made and used in the calling thread, as a
// host that loads the library itself does.
ComPtr<IDispatch> CreateWithoutCom(const wchar_t* progId) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"zankit.dll"), "DllGetClassObject")));
    CLSID clsid;
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> object;
    if (entry && SUCCEEDED(CLSIDFromProgID(progId, &clsid)) &&
        SUCCEEDED(entry(clsid, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
    }
    return object;
}

class ShellLinks : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(target_); }
    ComPtr<IDispatch> info_ = Create(L"ZanKit.FileSysInfo");
    std::wstring folder_ = TempFolder(), target_ = folder_ + L"\\target.txt";
};

TEST_F(ShellLinks, ShortcutReadBackFailuresAndAMultithreadedCaller) {
    // One trailing separator of the working folder is removed; the hot key is Control+Alt+A.
    EXPECT_EQ(CreateShortcut(info_.Get(), L"Full", target_, folder_,
                             {Arg::Text(L"C:\\windows\\"), Arg::Text(L"C:\\windows\\notepad.exe"), Arg::Long(2),
                              Arg::Long('A'), Arg::Long(HOTKEYF_CONTROL | HOTKEYF_ALT), Arg::Long(SW_MAXIMIZED)})
                  .Number(),
              0);
    EXPECT_EQ(LinkFields(folder_ + L"\\Full.lnk"),
              "target=" + Narrow(target_) +
                  "\ndescription=Full\nworking_dir=C:\\windows\nicon_location=C:\\windows\\notepad.exe\nicon_index=2\n"
                  "hotkey=1601\nshow_command=3\n");
    EXPECT_EQ(CreateShortcut(info_.Get(), L"Plain", target_, folder_ + L"\\").Number(), 0);
    const std::string plain = LinkFields(folder_ + L"\\Plain.lnk");  // the shell may name an icon of its own
    EXPECT_EQ(plain.find("target=" + Narrow(target_) + "\ndescription=Plain\nworking_dir=\n"), 0u) << plain;
    EXPECT_NE(plain.find("\nicon_index=0\nhotkey=0\nshow_command=1\n"), std::string::npos) << plain;
    // A missing target or folder answers the code of the call that failed; a bad modifier raises.
    const std::wstring failing[][2] = {{folder_ + L"\\none.txt", folder_}, {target_, folder_ + L"\\none"}};
    for (const auto& call : failing) {
        CallResult answer = CreateShortcut(info_.Get(), L"Failed", call[0], call[1]);
        EXPECT_TRUE(answer.hr == S_OK && answer.Number() != 0) << answer.Description();
    }
    // The modifier is a byte: 0 and 255 are taken, -1 and 256 raise Overflow (6).
    const HRESULT overflow = static_cast<HRESULT>(0x800A0006);
    const std::pair<long, HRESULT> modifiers[] = {{0, S_OK}, {255, S_OK}, {256, overflow}, {-1, overflow}};
    for (const auto& [modifier, error] : modifiers) {
        const std::wstring title = error == S_OK ? L"Modifier" + std::to_wstring(modifier) : L"Failed";
        CallResult answer =
            CreateShortcut(info_.Get(), title, target_, folder_,
                           {Arg::Text(L""), Arg::Text(L""), Arg::Long(0), Arg::Long('A'), Arg::Long(modifier)});
        EXPECT_EQ(answer.exception.scode, error) << modifier;
        EXPECT_EQ(Exists(folder_ + L"\\" + title + L".lnk"), error == S_OK) << modifier;
    }

    // Called on a thread of the multithreaded apartment, the member works there and leaves that
    // thread's use of COM as it was.
    long answer = -1;
    HRESULT comAfterwards = E_FAIL;
    std::thread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        if (ComPtr<IDispatch> object = CreateWithoutCom(L"ZanKit.FileSysInfo")) {
            answer = CreateShortcut(object.Get(), L"Direct", target_, folder_).Number();
        }
        comAfterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(comAfterwards)) CoUninitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(comAfterwards, S_FALSE);
    EXPECT_EQ(LinkFields(folder_ + L"\\Direct.lnk").find("target=" + Narrow(target_) + "\n"), 0u);
}

TEST_F(ShellLinks, HyperlinkFiles) {
    struct Case {
        const wchar_t* hyperlink;
        const wchar_t* name;
        const wchar_t* nameAfter;  // the file's name, written back
        const wchar_t* hyperlinkAfter;
        const char* bytes;  // nullptr: the answer is False and no file is written
    } cases[] = {
        // Replaces what the file held before (written below), and gets the "mailto:" scheme.
        {L"info@example.org", L"Mail.uRl", L"Mail.uRl", L"mailto:info@example.org",
         "[InternetShortcut]\r\nURL=mailto:info@example.org\r\n"},
        // Text the ANSI code page holds stays in its bytes.
        {L" http://example.org/M\u00FCller ", L"M\u00FCller", L"M\u00FCller.url", L" http://example.org/M\u00FCller ",
         "[InternetShortcut]\r\nURL= http://example.org/M\xFCller \r\n"},
        // Text it cannot hold: a plain URI first, the exact link in UTF-7 in the wide section.
        {L"http://example.org/\u65E5\u672C", L"\u65E5\u672C", L"\u65E5\u672C.url", L"http://example.org/\u65E5\u672C",
         "[InternetShortcut]\r\nURL=http://example.org/%E6%97%A5%E6%9C%AC\r\n"
         "[InternetShortcut.W]\r\nURL=http://example.org/+ZeVnLA-\r\n"},
        {L"   ", L"Blank", L"Blank.url", L"   ", nullptr},  // the name is extended first
        {L"http://example.org/", L"  ", L"  ", L"http://example.org/", nullptr},
        {L"http://example.org/", L"none\\x", L"none\\x.url", L"http://example.org/", nullptr},
    };
    ASSERT_EQ(GetACP(), 1252u) << "the expected bytes are those of code page 1252";
    WriteBytes(folder_ + L"\\Mail.uRl", std::string(500, 'x'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Arg link = Arg::Text(c.hyperlink), name = Arg::Text(c.name), folder = Arg::Text(folder_);
        CallResult answer = Call(info_.Get(), L"CreateHyperlink", DISPATCH_METHOD,
                                 {Arg::RefTo(&link.value), Arg::RefTo(&name.value), Arg::RefTo(&folder.value)});
        EXPECT_EQ(answer.Flag(), c.bytes ? 1 : 0) << answer.Description();
        EXPECT_EQ(TextOf(&name.value), c.nameAfter);
        EXPECT_EQ(TextOf(&link.value), c.hyperlinkAfter);
        EXPECT_EQ(ReadBytes(folder_ + L"\\" + c.nameAfter), c.bytes ? c.bytes : "<missing>");
    }
}

// The recorder started with `word` as its first argument, beside the test executable.
std::wstring RecorderCommand(const wchar_t* word, const wchar_t* tail) {
    return BesideTests(L"shell_recorder.exe") + L" " + word + tail;
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

class ShellExecution : public ::testing::Test {
protected:
    // ".zkrec" files start the recorder with the verb as first argument; the default verb is
    // "record". The "mailto" handler it replaces is put back afterwards.
    static void SetUpTestSuite() {
        mailto_ = std::make_unique<SchemeHandler>(L"mailto", RecorderCommand(L"mailto", L" \"%1\""));
        registered_ = mailto_->Registered() && SetDefaultValue(L".zkrec", L"ZanKit.RecordedFile") &&
                      SetDefaultValue(L"ZanKit.RecordedFile\\shell", L"record");
        for (const wchar_t* verb : {L"record", L"open", L"print", L"explore", L"runas"}) {
            registered_ =
                registered_ && SetDefaultValue(L"ZanKit.RecordedFile\\shell\\" + std::wstring(verb) + L"\\command",
                                               RecorderCommand(verb, L" \"%1\" %*"));
        }
    }
    static void TearDownTestSuite() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".zkrec");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"ZanKit.RecordedFile");
        mailto_.reset();
    }
    void SetUp() override { ASSERT_TRUE(registered_) << "the test file type could not be registered"; }

    // ShellEx with the operation passed as a script variable, which the member may write back.
    CallResult ShellEx(const std::wstring& file, long showCmd, const std::wstring& parameters,
                       const std::wstring& directory, long& operation) {
        Arg variable = Arg::Long(operation);
        CallResult answer = Call(info_.Get(), L"ShellEx", DISPATCH_METHOD,
                                 {Arg::Text(file), Arg::Long(showCmd), Arg::Text(parameters), Arg::Text(directory),
                                  Arg::RefTo(&variable.value)});
        operation = V_I4(&variable.value);
        return answer;
    }
    std::wstring NewFile(const std::wstring& name, const std::string& bytes = "x") {
        WriteBytes(folder_ + L"\\" + name, bytes);
        return folder_ + L"\\" + name;
    }

    static inline bool registered_ = false;
    static inline std::unique_ptr<SchemeHandler> mailto_;
    ComPtr<IDispatch> info_ = Create(L"ZanKit.FileSysInfo");
    std::wstring folder_ = TempFolder();
};

TEST_F(ShellExecution, ShellExAndSendMailReachTheStartedProgram) {
    const std::wstring file = NewFile(L"plain.zkrec");
    const struct {
        long operation, showCmd;
        const wchar_t* parameters;
        std::wstring folder;
        const wchar_t* record;  // verb, parameters and show command; the folder follows
    } rows[] = {
        // Without parameters and folder the window is always shown normally.
        {shellOpen, essSW_MAXIMIZE, L"", L"", L"open \"%s\"\n1\n"},
        {shellPrint, essSW_SHOWMINNOACTIVE, L"", folder_, L"print \"%s\"\n7\n"},
        {shellExplore, essSW_SHOWMINIMIZED, L"x", L"", L"explore \"%s\" x\n2\n"},
        // 3 and values outside the enumeration ask for no verb: the type's default one runs.
        {3, essSW_SHOWMINIMIZED, L"p", L"", L"record \"%s\" p\n2\n"},
        {77, essSW_SHOWNOACTIVATE, L"", L"", L"record \"%s\"\n1\n"},
        // Raised rights: the "runas" verb, always shown (5); answers -1.
        {shellRunAs, essSW_HIDE, L"p", L"", L"runas \"%s\" p\n5\n"},
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
        EXPECT_TRUE(row.operation == shellRunAs ? answer == -1 : answer > 32) << answer;
        EXPECT_EQ(operation, row.operation);
    }

    // SendMail hands its encoded link to the "mailto" handler.
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

TEST_F(ShellExecution, RefusalsAreRaisedWithTheirNumberAndText) {
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
        DialogAnswerer errorBox(IDCANCEL);  // the shell shows its error first
        long open = shellOpen;
        CallResult answer = ShellEx(row.file, essSW_SHOWNORMAL, L"", L"", open);
        EXPECT_EQ(answer.exception.scode, row.number) << row.description;
        EXPECT_EQ(answer.Source() + L": " + answer.Description(),
                  L"FileSysInfo.ShellEx: " + std::wstring(row.description));
    }
}

}  // namespace
