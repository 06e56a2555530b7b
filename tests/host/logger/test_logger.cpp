// An error logger for the tests only. It registers as "zanErrLogger.Log" and appends one
// line per CheckError call to the file named by ZANKIT_TEST_LOGGER_FILE (UTF-8, tab-separated):
//   app title, app path, app version, tag, text, bool 1, bool 2, argument types
// so that tests can check exactly what a failing member reported.
#include <windows.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

// {7D0C3E55-2C4A-4E1B-9B8E-3F6A2D1C0B11}
const CLSID kLoggerClsid = {0x7d0c3e55, 0x2c4a, 0x4e1b, {0x9b, 0x8e, 0x3f, 0x6a, 0x2d, 0x1c, 0x0b, 0x11}};
const wchar_t kClassesProgId[] = L"Software\\Classes\\zanErrLogger.Log";
const DISPID kCheckErrorId = 1;

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

std::wstring AsText(VARIANT* value) {
    VARIANT converted;
    VariantInit(&converted);
    std::wstring text;
    if (SUCCEEDED(VariantChangeType(&converted, value, 0, VT_BSTR)) && V_BSTR(&converted)) {
        text.assign(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    }
    VariantClear(&converted);
    return text;
}

std::wstring Property(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    if (!object || FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr))) {
        return L"<missing>";
    }
    std::wstring text = AsText(&result);
    VariantClear(&result);
    return text;
}

void AppendRecord(const std::wstring& line) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ZANKIT_TEST_LOGGER_FILE", path, MAX_PATH) == 0) return;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    bytes += "\n";
    if (FILE* file = _wfopen(path, L"ab")) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
}

class Logger final : public IDispatch {
public:
    Logger() { ++g_objects; }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out =
            IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1 || _wcsicmp(names[0], L"CheckError") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = kCheckErrorId;
        return S_OK;
    }
    // CheckError(app, tag, text, bool 1, bool 2); rgvarg holds them in reverse order.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != kCheckErrorId) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 5) return DISP_E_BADPARAMCOUNT;
        VARIANT* args = params->rgvarg;
        IDispatch* app = V_VT(&args[4]) == VT_DISPATCH ? V_DISPATCH(&args[4]) : nullptr;
        std::wstring line = Property(app, L"Title") + L"\t" + Property(app, L"Path") + L"\t" + Property(app, L"Major") +
                            L"." + Property(app, L"Minor");
        for (int i = 3; i >= 0; --i) line += L"\t" + AsText(&args[i]);
        for (int i = 4; i >= 0; --i) line += (i == 4 ? L"\t" : L",") + std::to_wstring(V_VT(&args[i]));
        AppendRecord(line);
        return S_OK;
    }

private:
    ~Logger() { --g_objects; }
    std::atomic<long> references_{1};
};

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        Logger* logger = new Logger();
        HRESULT hr = logger->QueryInterface(iid, out);
        logger->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

std::wstring ClassKey() {
    wchar_t text[40] = {};
    StringFromGUID2(kLoggerClsid, text, 40);
    return std::wstring(L"Software\\Classes\\CLSID\\") + text;
}

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, kLoggerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects.load() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    const std::wstring classKey = ClassKey(), clsid = classKey.substr(classKey.rfind(L'\\') + 1);
    const bool written = SetValue(kClassesProgId, nullptr, L"ZanKit test logger") &&
                         SetValue(std::wstring(kClassesProgId) + L"\\CLSID", nullptr, clsid) &&
                         SetValue(classKey, nullptr, L"ZanKit test logger") &&
                         SetValue(classKey + L"\\InprocServer32", nullptr, path) &&
                         SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    return written ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kClassesProgId);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
    return S_OK;
}
