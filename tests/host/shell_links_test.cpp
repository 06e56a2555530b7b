// CreateShortcut and CreateHyperlink: the files they create, read back through the shell's own
// link object, byte by byte, and by an independent reader of the link format.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_support.h"
#include "shell_support.h"

using namespace hosttest;
using namespace shelltest;

namespace {

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }
bool HasLine(const std::string& lines, const std::string& line) {
    return ("\n" + lines).find("\n" + line + "\n") != std::string::npos;
}

// What the shell's link object reads from a link file, in the independent reader's lines. Wine's
// link object does not give back the show command of a loaded file; the reader checks that one.
std::string ReadWithShellLink(const std::wstring& path) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return "not loaded";
    }
    wchar_t target[MAX_PATH] = {}, description[MAX_PATH] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = -1;
    WORD hotKey = 0;
    link->GetPath(target, MAX_PATH, nullptr, 0);
    link->GetDescription(description, MAX_PATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    link->GetHotkey(&hotKey);
    char hex[8];
    snprintf(hex, sizeof hex, "0x%04X", hotKey);
    return "target=" + Narrow(target) + "\ndescription=" + Narrow(description) + "\nworking_dir=" + Narrow(folder) +
           "\nicon_location=" + Narrow(icon) + "\nicon_index=" + std::to_string(iconIndex) + "\nhotkey=" + hex + "\n";
}

// The Unix path of a file, from Wine's own conversion.
std::wstring UnixPathOf(const std::wstring& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = convert ? convert(path.c_str()) : nullptr;
    if (!unix) return {};
    std::wstring text(unix, unix + strlen(unix));
    HeapFree(GetProcessHeap(), 0, unix);
    return text;
}

// The link file as tests/lnk_reader.py reads it on the Linux side. Wine starts a Unix program
// itself and hands back stand-in handles, so the report file tells that the reader has finished.
std::string ReadWithLinuxReader(const std::wstring& link) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring root(self);
    for (int up = 0; up < 4; ++up) root.resize(root.rfind(L'\\'));  // from build\winNN\tests\the.exe
    const std::wstring report = link + L".report";
    std::wstring command = L"python3 \"" + UnixPathOf(root + L"\\tests\\lnk_reader.py") + L"\" \"" + UnixPathOf(link) +
                           L"\" \"" + UnixPathOf(report) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\usr\\bin\\python3", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return {};
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    return TakeFileOnceWritten(report);
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
    void SetUp() override {
        info_ = Create(L"ZanKit.FileSysInfo");
        ASSERT_TRUE(info_);
        folder_ = TempFolder();
        target_ = folder_ + L"\\target.txt";
        WriteBytes(target_);
    }
    ComPtr<IDispatch> info_;
    std::wstring folder_, target_;
};

TEST_F(ShellLinks, ShortcutIsReadBackByTheShellAndByAnIndependentReader) {
    struct Case {
        const wchar_t* title;
        const wchar_t* folderEnd;
        std::vector<Arg> optional;
        std::vector<std::string> lines;
        const char* showCommand;  // only the reader sees it
    } cases[] = {
        // One trailing separator of the working folder is removed; the hot key is Control+Alt+A.
        {L"Full",
         L"",
         {Arg::Text(L"C:\\windows\\"), Arg::Text(L"C:\\windows\\notepad.exe"), Arg::Long(2), Arg::Long(0x41),
          Arg::Long(6), Arg::Long(3)},
         {"description=Full", "working_dir=C:\\windows", "icon_location=C:\\windows\\notepad.exe", "icon_index=2",
          "hotkey=0x0641"},
         "3"},
        {L"Plain", L"\\", {}, {"description=Plain", "working_dir=", "hotkey=0x0000"}, "1"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.title);
        CallResult answer = CreateShortcut(info_.Get(), c.title, target_, folder_ + c.folderEnd, c.optional);
        ASSERT_EQ(answer.hr, S_OK) << answer.Description();
        EXPECT_EQ(answer.Number(), 0);
        const std::wstring link = folder_ + L"\\" + c.title + L".lnk";
        const std::string shell = ReadWithShellLink(link), file = ReadWithLinuxReader(link);
        c.lines.push_back("target=" + Narrow(target_));
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(HasLine(shell, line)) << line << " in\n" << shell;
            EXPECT_TRUE(HasLine(file, line)) << line << " in\n" << file;
        }
        EXPECT_TRUE(HasLine(file, std::string("show_command=") + c.showCommand)) << file;
    }
}

TEST_F(ShellLinks, ShortcutFailuresAnswerACodeOrRaiseAndWriteNothing) {
    // A missing target or folder answers the code of the call that failed.
    const std::wstring failing[][2] = {{folder_ + L"\\none.txt", folder_}, {target_, folder_ + L"\\none"}};
    for (const auto& call : failing) {
        CallResult answer = CreateShortcut(info_.Get(), L"Failed", call[0], call[1]);
        EXPECT_EQ(answer.hr, S_OK) << answer.Description();
        EXPECT_NE(answer.Number(), 0) << call[0];
    }
    for (long modifier : {256L, -1L}) {
        CallResult answer =
            CreateShortcut(info_.Get(), L"Failed", target_, folder_,
                           {Arg::Text(L""), Arg::Text(L""), Arg::Long(0), Arg::Long(0x41), Arg::Long(modifier)});
        EXPECT_EQ(answer.exception.scode, static_cast<HRESULT>(0x800A0006)) << modifier;
    }
    EXPECT_FALSE(FileExists(folder_ + L"\\Failed.lnk"));
}

// Called on a thread of the multithreaded apartment, the member must work there and leave that
// thread's use of COM as it was.
TEST_F(ShellLinks, ShortcutFromAMultithreadedApartment) {
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
    EXPECT_TRUE(HasLine(ReadWithShellLink(folder_ + L"\\Direct.lnk"), "target=" + Narrow(target_)));
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
        VARIANT link, name, folder;
        V_VT(&link) = V_VT(&name) = V_VT(&folder) = VT_BSTR;
        V_BSTR(&link) = SysAllocString(c.hyperlink);
        V_BSTR(&name) = SysAllocString(c.name);
        V_BSTR(&folder) = SysAllocString(folder_.c_str());
        CallResult answer = Call(info_.Get(), L"CreateHyperlink", DISPATCH_METHOD,
                                 {Arg::RefTo(&link), Arg::RefTo(&name), Arg::RefTo(&folder)});
        EXPECT_EQ(answer.hr, S_OK) << answer.Description();
        EXPECT_EQ(answer.Flag(), c.bytes ? 1 : 0);
        EXPECT_EQ(FromBstr(V_BSTR(&name)), c.nameAfter);
        EXPECT_EQ(FromBstr(V_BSTR(&link)), c.hyperlinkAfter);
        EXPECT_EQ(ReadBytes(folder_ + L"\\" + c.nameAfter), c.bytes ? c.bytes : "");
        for (VARIANT* v : {&link, &name, &folder}) VariantClear(v);
    }
}

}  // namespace
