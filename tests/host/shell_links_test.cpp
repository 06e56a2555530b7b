// CreateShortcut and CreateHyperlink: the files they create, read back through the shell's
// own link object, byte by byte, and by an independent reader of the link format.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"
#include "shell_support.h"

using namespace hosttest;
using namespace shelltest;

namespace {

struct LinkContent {
    bool loaded = false;
    std::wstring target, description, workingDir, iconPath;
    int iconIndex = -1;
    WORD hotKey = 0;
};

// What the shell's link object reads from a link file.
LinkContent ReadLink(const std::wstring& path) {
    LinkContent content;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return content;
    }
    wchar_t buffer[MAX_PATH] = {};
    content.loaded = true;
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, 0))) content.target = buffer;
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH))) content.description = buffer;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) content.workingDir = buffer;
    if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &content.iconIndex))) content.iconPath = buffer;
    link->GetHotkey(&content.hotKey);
    return content;
}

// The Unix path of a file, from Wine's own conversion; "" outside Wine.
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

// The link file as the independent reader on the Linux side (tests/lnk_reader.py) sees it:
// one "field=value" line each, or "" when its report did not come.
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
    // Wine starts a Unix program itself and hands back stand-in handles, so the report file
    // is what tells that the reader has finished.
    if (!CreateProcessW(L"Z:\\usr\\bin\\python3", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return {};
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    for (int tries = 0; tries < 600 && !FileExists(report); ++tries) Sleep(50);
    std::string text = ReadBytes(report);
    DeleteFileW(report.c_str());
    return text;
}

CallResult CreateShortcut(IDispatch* info, const std::wstring& title, const std::wstring& target,
                          const std::wstring& folder, std::vector<Arg> optional = {}) {
    std::vector<Arg> args{Arg::Text(title), Arg::Text(target), Arg::Text(folder)};
    for (const Arg& a : optional) args.push_back(a);
    return Call(info, L"CreateShortcut", DISPATCH_METHOD, std::move(args));
}

class ShellLinks : public ::testing::Test {
protected:
    void SetUp() override {
        info_ = Create(L"ZanKit.FileSysInfo");
        ASSERT_TRUE(info_);
        folder_ = TempFolder();
        target_ = folder_ + L"\\target.txt";
        WriteTextFile(target_);
    }
    ComPtr<IDispatch> info_;
    std::wstring folder_;
    std::wstring target_;
};

TEST_F(ShellLinks, ShortcutCarriesEveryPartItWasGiven) {
    CallResult answer = CreateShortcut(info_.Get(), L"Full", target_, folder_,
                                       {Arg::Text(L"C:\\windows\\"), Arg::Text(L"C:\\windows\\notepad.exe"),
                                        Arg::Long(2), Arg::Long(0x41), Arg::Long(6), Arg::Long(3)});
    ASSERT_EQ(answer.hr, S_OK) << answer.Description();
    EXPECT_EQ(answer.Number(), 0);
    LinkContent link = ReadLink(folder_ + L"\\Full.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, target_);
    EXPECT_EQ(link.description, L"Full");
    EXPECT_EQ(link.workingDir, L"C:\\windows");  // one trailing separator removed
    EXPECT_EQ(link.iconPath, L"C:\\windows\\notepad.exe");
    EXPECT_EQ(link.iconIndex, 2);
    EXPECT_EQ(link.hotKey, 0x0641);  // Control+Alt with the key A
    // Wine's link object does not give back the stored show command after loading a file;
    // the reader below checks it in the file itself.

    std::string target(target_.begin(), target_.end());  // the test folder's path is ASCII
    EXPECT_EQ(ReadWithLinuxReader(folder_ + L"\\Full.lnk"),
              "target=" + target +
                  "\ndescription=Full\nworking_dir=C:\\windows\n"
                  "icon_location=C:\\windows\\notepad.exe\nicon_index=2\nhotkey=0x0641\nshow_command=3\n");
}

TEST_F(ShellLinks, ShortcutWithTheRequiredArgumentsOnly) {
    CallResult answer = CreateShortcut(info_.Get(), L"Plain", target_, folder_ + L"\\");
    ASSERT_EQ(answer.hr, S_OK) << answer.Description();
    EXPECT_EQ(answer.Number(), 0);
    LinkContent link = ReadLink(folder_ + L"\\Plain.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, target_);
    EXPECT_EQ(link.description, L"Plain");
    EXPECT_EQ(link.workingDir, L"");
    EXPECT_EQ(link.hotKey, 0);
    const std::string file = ReadWithLinuxReader(folder_ + L"\\Plain.lnk");
    EXPECT_NE(file.find("\nworking_dir=\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\nhotkey=0x0000\nshow_command=1\n"), std::string::npos) << file;
}

TEST_F(ShellLinks, ShortcutFailuresAnswerTheCodeAndWriteNothing) {
    CallResult missing = CreateShortcut(info_.Get(), L"Missing", folder_ + L"\\none.txt", folder_);
    ASSERT_EQ(missing.hr, S_OK) << missing.Description();
    EXPECT_NE(missing.Number(), 0);
    EXPECT_FALSE(FileExists(folder_ + L"\\Missing.lnk"));

    CallResult noFolder = CreateShortcut(info_.Get(), L"Lost", target_, folder_ + L"\\no such folder");
    ASSERT_EQ(noFolder.hr, S_OK) << noFolder.Description();
    EXPECT_NE(noFolder.Number(), 0);

    for (long modifier : {256L, -1L}) {
        CallResult overflow =
            CreateShortcut(info_.Get(), L"Overflow", target_, folder_,
                           {Arg::Text(L""), Arg::Text(L""), Arg::Long(0), Arg::Long(0x41), Arg::Long(modifier)});
        EXPECT_EQ(overflow.exception.scode, static_cast<HRESULT>(0x800A0006)) << modifier;
        EXPECT_FALSE(FileExists(folder_ + L"\\Overflow.lnk"));
    }
}

// A host that loads the library itself calls from a thread of the multithreaded apartment, so
// the member runs on that very thread. (Created through COM from such a thread, the object would
// live in an apartment of its own, which the registered threading model asks for.)
TEST_F(ShellLinks, ShortcutFromAMultithreadedApartment) {
    const std::wstring direct = folder_ + L"\\Direct.lnk";
    long directAnswer = -1;
    HRESULT stillMultithreaded = E_FAIL;
    std::thread worker([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        {
            CLSID clsid;
            CLSIDFromProgID(L"ZanKit.FileSysInfo", &clsid);
            wchar_t dll[MAX_PATH] = {};
            LONG size = sizeof dll;
            std::wstring key = L"CLSID\\";
            wchar_t text[64] = {};
            StringFromGUID2(clsid, text, 64);
            key += std::wstring(text) + L"\\InprocServer32";
            RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), dll, &size);
            HMODULE module = LoadLibraryW(dll);
            using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
            auto entry = module ? reinterpret_cast<GetClassObject>(
                                      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
                                : nullptr;
            ComPtr<IClassFactory> factory;
            ComPtr<_FileSysInfo> object;
            if (entry && SUCCEEDED(entry(clsid, IID_IClassFactory, factory.PutVoid())) &&
                SUCCEEDED(factory->CreateInstance(nullptr, IID__FileSysInfo, object.PutVoid()))) {
                BSTR title = SysAllocString(L"Direct"), target = SysAllocString(target_.c_str()),
                     in = SysAllocString(folder_.c_str()), empty = SysAllocString(L"");
                LONG result = -1;
                if (SUCCEEDED(
                        object->CreateShortcut(title, target, in, empty, empty, 0, 0, HOTKEYF(0), SW(1), &result))) {
                    directAnswer = result;
                }
                for (BSTR s : {title, target, in, empty}) SysFreeString(s);
            }
            object.Reset();
            factory.Reset();
            // The member must not have ended this thread's use of COM.
            stillMultithreaded = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(stillMultithreaded)) CoUninitialize();
        }
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(directAnswer, 0);
    EXPECT_EQ(ReadLink(direct).target, target_);
    EXPECT_EQ(stillMultithreaded, S_FALSE);
}

// CreateHyperlink(Hyperlink, name, Pfad) with the three arguments as script variables.
struct HyperlinkCall {
    CallResult answer;
    std::wstring hyperlink, name;
};
HyperlinkCall CreateHyperlink(IDispatch* info, const std::wstring& hyperlink, const std::wstring& name,
                              const std::wstring& folder) {
    VARIANT link, file, path;
    V_VT(&link) = V_VT(&file) = V_VT(&path) = VT_BSTR;
    V_BSTR(&link) = SysAllocString(hyperlink.c_str());
    V_BSTR(&file) = SysAllocString(name.c_str());
    V_BSTR(&path) = SysAllocString(folder.c_str());
    HyperlinkCall call{
        Call(info, L"CreateHyperlink", DISPATCH_METHOD, {Arg::RefTo(&link), Arg::RefTo(&file), Arg::RefTo(&path)}),
        FromBstr(V_BSTR(&link)), FromBstr(V_BSTR(&file))};
    VariantClear(&link);
    VariantClear(&file);
    VariantClear(&path);
    return call;
}

TEST_F(ShellLinks, HyperlinkFiles) {
    struct Case {
        const wchar_t* hyperlink;
        const wchar_t* name;
        const wchar_t* writtenName;  // also the name written back
        const wchar_t* hyperlinkAfter;
        const char* bytes;
    } cases[] = {
        {L"http://example.org/", L"Homepage", L"Homepage.url", L"http://example.org/",
         "[InternetShortcut]\r\nURL=http://example.org/\r\n"},
        {L"http://example.org/", L"Old.URL", L"Old.URL", L"http://example.org/",
         "[InternetShortcut]\r\nURL=http://example.org/\r\n"},
        {L"info@example.org", L"Mail.uRl", L"Mail.uRl", L"mailto:info@example.org",
         "[InternetShortcut]\r\nURL=mailto:info@example.org\r\n"},
        {L"MAILTO:info@example.org", L"Twice", L"Twice.url", L"mailto:MAILTO:info@example.org",
         "[InternetShortcut]\r\nURL=mailto:MAILTO:info@example.org\r\n"},
        // Text the ANSI code page holds stays in its bytes.
        {L" http://example.org/M\u00FCller ", L"M\u00FCller", L"M\u00FCller.url", L" http://example.org/M\u00FCller ",
         "[InternetShortcut]\r\nURL= http://example.org/M\xFCller \r\n"},
        // Text it cannot hold: a plain URI first, the exact link in UTF-7 in the wide section;
        // the file name keeps its characters.
        {L"http://example.org/\u65E5\u672C", L"\u65E5\u672C", L"\u65E5\u672C.url", L"http://example.org/\u65E5\u672C",
         "[InternetShortcut]\r\nURL=http://example.org/%E6%97%A5%E6%9C%AC\r\n"
         "[InternetShortcut.W]\r\nURL=http://example.org/+ZeVnLA-\r\n"},
    };
    ASSERT_EQ(GetACP(), 1252u) << "the expected bytes are those of code page 1252";
    for (const Case& c : cases) {
        HyperlinkCall call = CreateHyperlink(info_.Get(), c.hyperlink, c.name, folder_);
        ASSERT_EQ(call.answer.hr, S_OK) << call.answer.Description();
        EXPECT_EQ(call.answer.Flag(), 1) << c.name;
        EXPECT_EQ(call.name, c.writtenName);
        EXPECT_EQ(call.hyperlink, c.hyperlinkAfter);
        EXPECT_EQ(ReadBytes(folder_ + L"\\" + c.writtenName), c.bytes) << c.name;
    }
}

TEST_F(ShellLinks, HyperlinkAnswersFalseForBlankInputAndFileFailures) {
    HyperlinkCall blankLink = CreateHyperlink(info_.Get(), L"   ", L"Blank", folder_);
    EXPECT_EQ(blankLink.answer.Flag(), 0);
    EXPECT_EQ(blankLink.name, L"Blank.url");  // extended before the link was looked at
    EXPECT_FALSE(FileExists(folder_ + L"\\Blank.url"));

    HyperlinkCall blankName = CreateHyperlink(info_.Get(), L"http://example.org/", L"  ", folder_);
    EXPECT_EQ(blankName.answer.Flag(), 0);
    EXPECT_EQ(blankName.name, L"  ");

    HyperlinkCall noFolder = CreateHyperlink(info_.Get(), L"http://example.org/", L"x", folder_ + L"\\none");
    EXPECT_EQ(noFolder.answer.hr, S_OK);
    EXPECT_EQ(noFolder.answer.Flag(), 0);

    // An existing file is replaced, not appended to.
    WriteTextFile(folder_ + L"\\Old.url", std::string(500, 'x'));
    HyperlinkCall replaced = CreateHyperlink(info_.Get(), L"http://a/", L"Old.url", folder_);
    EXPECT_EQ(replaced.answer.Flag(), 1);
    EXPECT_EQ(ReadBytes(folder_ + L"\\Old.url"), "[InternetShortcut]\r\nURL=http://a/\r\n");
}

}  // namespace
