// Late-bound calls from a C++ host: FixPath of ZanKit.FileSysInfo against GetFileName of
// Scripting.FileSystemObject, both through IDispatch::Invoke with the dispids looked up once.
// Usage: dispatch_bench.exe [calls]. Prints the best time of each and their ratio.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Calls name(argument) calls times; returns the seconds taken, or -1 when a call fails.
double Time(const wchar_t* progId, const wchar_t* name, const wchar_t* argument, long calls) {
    CLSID clsid;
    IDispatch* object = nullptr;
    if (FAILED(CLSIDFromProgID(progId, &clsid)) ||
        FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        std::fwprintf(stderr, L"cannot create %ls\n", progId);
        return -1;
    }
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        object->Release();
        return -1;
    }
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocString(argument);
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    VARIANT warm;  // the first call loads what the object needs once; it is not timed
    VariantInit(&warm);
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &warm, nullptr, nullptr);
    VariantClear(&warm);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    double seconds = 0;
    for (long i = 0; i < calls; ++i) {
        VARIANT result;
        VariantInit(&result);
        if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                                  nullptr))) {
            seconds = -1;
            break;
        }
        VariantClear(&result);
    }
    QueryPerformanceCounter(&end);
    if (seconds == 0) seconds = Seconds(start, end);
    VariantClear(&arg);
    object->Release();
    return seconds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    long calls = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 1000000;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    // Best of three rounds each, taken in turns, so that a busy moment of the machine does not
    // decide the ratio.
    double zankit = -1, fso = -1;
    for (int round = 0; round < 3; ++round) {
        double z = Time(L"ZanKit.FileSysInfo", L"FixPath", L"C:\\Temp", calls);
        double f = Time(L"Scripting.FileSystemObject", L"GetFileName", L"C:\\Temp\\a.txt", calls);
        if (z < 0 || f < 0) return 1;
        if (zankit < 0 || z < zankit) zankit = z;
        if (fso < 0 || f < fso) fso = f;
    }
    CoUninitialize();
    std::wprintf(L"cpp calls=%ld fixpath_s=%.3f fso_getfilename_s=%.3f ratio=%.2f\n", calls, zankit, fso, zankit / fso);
    return 0;
}
