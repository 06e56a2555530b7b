// CreateShortcut and CreateHyperlink: the files they create, read back through the shell's own
// link object and byte by byte.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

// A link file as the shell's link object reads it, and the icon index, hot key and show command
// from its header (Wine's link object does not give back the show command), a line each.
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
    std::int32_t iconIndex;
    std::uint32_t showCommand;
    std::uint16_t hotKey;
    std::memcpy(&iconIndex, &bytes[0x38], 4);
    std::memcpy(&showCommand, &bytes[0x3C], 4);
    std::memcpy(&hotKey, &bytes[0x40], 2);
    char hex[8];
    snprintf(hex, sizeof hex, "0x%04X", hotKey);
    return "target=" + Narrow(target) + "\ndescription=" + Narrow(description) + "\nworking_dir=" + Narrow(folder) +
           "\nicon_location=" + Narrow(icon) + "\nicon_index=" + std::to_string(iconIndex) + "\nhotkey=" + hex +
           "\nshow_command=" + std::to_string(showCommand) + "\n";
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

TEST_F(ShellLinks, ShortcutIsReadBackByTheShellAndFromItsHeader) {
    // One trailing separator of the working folder is removed; the hot key is Control+Alt+A.
    EXPECT_EQ(CreateShortcut(info_.Get(), L"Full", target_, folder_,
                             {Arg::Text(L"C:\\windows\\"), Arg::Text(L"C:\\windows\\notepad.exe"), Arg::Long(2),
                              Arg::Long(0x41), Arg::Long(6), Arg::Long(3)})
                  .Number(),
              0);
    EXPECT_EQ(LinkFields(folder_ + L"\\Full.lnk"),
              "target=" + Narrow(target_) +
                  "\ndescription=Full\nworking_dir=C:\\windows\nicon_location=C:\\windows\\notepad.exe\nicon_index=2\n"
                  "hotkey=0x0641\nshow_command=3\n");
    EXPECT_EQ(CreateShortcut(info_.Get(), L"Plain", target_, folder_ + L"\\").Number(), 0);
    const std::string plain = LinkFields(folder_ + L"\\Plain.lnk");  // the shell may name an icon of its own
    EXPECT_EQ(plain.find("target=" + Narrow(target_) + "\ndescription=Plain\nworking_dir=\n"), 0u) << plain;
    EXPECT_NE(plain.find("\nicon_index=0\nhotkey=0x0000\nshow_command=1\n"), std::string::npos) << plain;
}

TEST_F(ShellLinks, ShortcutFailuresAnswerACodeOrRaiseAndWriteNothing) {
    // A missing target or folder answers the code of the call that failed.
    const std::wstring failing[][2] = {{folder_ + L"\\none.txt", folder_}, {target_, folder_ + L"\\none"}};
    for (const auto& call : failing) {
        CallResult answer = CreateShortcut(info_.Get(), L"Failed", call[0], call[1]);
        EXPECT_TRUE(answer.hr == S_OK && answer.Number() != 0) << answer.Description();
    }
    for (long modifier : {256L, -1L}) {
        CallResult answer =
            CreateShortcut(info_.Get(), L"Failed", target_, folder_,
                           {Arg::Text(L""), Arg::Text(L""), Arg::Long(0), Arg::Long(0x41), Arg::Long(modifier)});
        EXPECT_EQ(answer.exception.scode, static_cast<HRESULT>(0x800A0006)) << modifier;
    }
    EXPECT_FALSE(Exists(folder_ + L"\\Failed.lnk"));
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
        VARIANT link, name, folder;
        V_VT(&link) = V_VT(&name) = V_VT(&folder) = VT_BSTR;
        V_BSTR(&link) = SysAllocString(c.hyperlink);
        V_BSTR(&name) = SysAllocString(c.name);
        V_BSTR(&folder) = SysAllocString(folder_.c_str());
        CallResult answer = Call(info_.Get(), L"CreateHyperlink", DISPATCH_METHOD,
                                 {Arg::RefTo(&link), Arg::RefTo(&name), Arg::RefTo(&folder)});
        EXPECT_EQ(answer.Flag(), c.bytes ? 1 : 0) << answer.Description();
        EXPECT_EQ(FromBstr(V_BSTR(&name)), c.nameAfter);
        EXPECT_EQ(FromBstr(V_BSTR(&link)), c.hyperlinkAfter);
        EXPECT_EQ(ReadBytes(folder_ + L"\\" + c.nameAfter), c.bytes ? c.bytes : "<missing>");
        for (VARIANT* v : {&link, &name, &folder}) VariantClear(v);
    }
}

}  // namespace
