// Soak of clsSendMail through COM: many sends from one object, first each in its own session,
// then inside one session opened with Connect, to an SMTP server on loopback. Prints the
// process's handle count, GDI object count and working set after the first 100 sends of each
// part and at its end.
// Usage: soak.exe <port> [single-session sends] [sends inside one Connect] [recipients user password]
// With a user, every send logs in and goes to that many recipients, and the time of the
// Connect part is printed.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument, VARIANT* result) {
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    return object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

void PutText(IDispatch* object, const wchar_t* name, const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    Invoke(object, name, DISPATCH_PROPERTYPUT, &value, nullptr);
    VariantClear(&value);
}

void PutLong(IDispatch* object, const wchar_t* name, long number) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    Invoke(object, name, DISPATCH_PROPERTYPUT, &value, nullptr);
}

void Call(IDispatch* object, const wchar_t* name) {
    VARIANT result;
    VariantInit(&result);
    Invoke(object, name, DISPATCH_METHOD, nullptr, &result);
    VariantClear(&result);
}

// The open file descriptors of this process as Linux sees them, read through Wine's Z: drive
// (Wine answers GetProcessHandleCount with 0); -1 elsewhere.
long UnixDescriptors() {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(L"Z:\\proc\\self\\fd\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long count = 0;
    do {
        if (entry.cFileName[0] != L'.') ++count;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

void Report(const char* part, int sends) {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("%s after %d sends: handles=%lu unix_fds=%ld gdi=%lu working_set_kib=%lu\n", part, sends,
                static_cast<unsigned long>(handles), UnixDescriptors(), static_cast<unsigned long>(gdi),
                static_cast<unsigned long>(memory.WorkingSetSize / 1024));
    std::fflush(stdout);
}

void Soak(IDispatch* mail, const char* part, int count, bool oneSession) {
    if (count < 1) return;
    const DWORD start = GetTickCount();
    if (oneSession) Call(mail, L"Connect");
    for (int i = 1; i <= count; ++i) {
        Call(mail, L"Send");
        if (i == 100 || i % 1000 == 0 || i == count) Report(part, i);
    }
    if (oneSession) Call(mail, L"Disconnect");
    std::printf("%s: %d sent in %.3f s\n", part, count, (GetTickCount() - start) / 1000.0);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak.exe <port> [single] [connected]\n");
        return 2;
    }
    const long port = std::wcstol(argv[1], nullptr, 10);
    const int single = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 10000;
    const int connected = argc > 3 ? static_cast<int>(std::wcstol(argv[3], nullptr, 10)) : 1000;
    CoInitialize(nullptr);
    CLSID clsid;
    IDispatch* mail = nullptr;
    if (FAILED(CLSIDFromProgID(L"ZanKit.clsSendMail", &clsid)) ||
        FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&mail)))) {
        std::fprintf(stderr, "ZanKit.clsSendMail is not registered\n");
        return 1;
    }
    PutLong(mail, L"SMTPHostValidation", 1);
    PutText(mail, L"SMTPHost", L"127.0.0.1");
    PutLong(mail, L"SMTPPort", port);
    PutText(mail, L"from", L"soak@example.com");
    PutText(mail, L"Recipient", L"sink@example.com");
    PutText(mail, L"Subject", L"Soak");
    PutText(mail, L"Message", L"One of many.");
    if (argc > 6) {
        std::wstring list;
        for (long i = 0; i < std::wcstol(argv[4], nullptr, 10); ++i)
            list += (i ? L";sink" : L"sink") + std::to_wstring(i) + L"@example.com";
        PutText(mail, L"Recipient", list.c_str());
        PutLong(mail, L"UseAuthentication", -1);
        PutText(mail, L"Username", argv[5]);
        PutText(mail, L"Password", argv[6]);
    }
    Report("start", 0);
    Soak(mail, "single-session", single, false);
    Soak(mail, "one-connect", connected, true);
    mail->Release();
    CoUninitialize();
    return 0;
}
