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
const wchar_t kProgId[] = L"zanErrLogger.Log";
const DISPID kCheckErrorId = 1;

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

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
    if (!object) return L"<none>";
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return L"<missing>";
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                              nullptr))) {
        return L"<failed>";
    }
    std::wstring text = AsText(&result);
    VariantClear(&result);
    return text;
}

void AppendRecord(const std::wstring& line) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ZANKIT_TEST_LOGGER_FILE", path, MAX_PATH) == 0) return;
    FILE* file = _wfopen(path, L"ab");
    if (!file) return;
    std::string bytes = Utf8(line) + "\n";
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

class Logger final : public IDispatch {
public:
    Logger() { ++g_objects; }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1 || _wcsicmp(names[0], L"CheckError") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = kCheckErrorId;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != kCheckErrorId) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 5) return DISP_E_BADPARAMCOUNT;
        VARIANT* args = params->rgvarg;  // reverse order
        IDispatch* app = V_VT(&args[4]) == VT_DISPATCH ? V_DISPATCH(&args[4]) : nullptr;
        std::wstring line = Property(app, L"Title") + L"\t" + Property(app, L"Path") + L"\t" + Property(app, L"Major") +
                            L"." + Property(app, L"Minor") + L"\t" + AsText(&args[3]) + L"\t" + AsText(&args[2]) +
                            L"\t" + AsText(&args[1]) + L"\t" + AsText(&args[0]) + L"\t";
        for (int i = 4; i >= 0; --i) {
            line += std::to_wstring(V_VT(&args[i]));
            if (i > 0) line += L",";
        }
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
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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

std::wstring ClsidText() {
    wchar_t text[40] = {};
    StringFromGUID2(kLoggerClsid, text, 40);
    return text;
}

LONG SetDefault(const std::wstring& path, const std::wstring& value) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
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
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring classKey = classes + L"CLSID\\" + ClsidText();
    if (SetDefault(classes + kProgId, L"ZanKit test logger") != ERROR_SUCCESS ||
        SetDefault(classes + kProgId + L"\\CLSID", ClsidText()) != ERROR_SUCCESS ||
        SetDefault(classKey, L"ZanKit test logger") != ERROR_SUCCESS ||
        SetDefault(classKey + L"\\InprocServer32", path) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (classKey + L"\\InprocServer32").c_str(), 0, KEY_WRITE, &key) ==
        ERROR_SUCCESS) {
        const wchar_t model[] = L"Both";
        RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof(model));
        RegCloseKey(key);
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    const std::wstring classes = L"Software\\Classes\\";
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, (classes + kProgId).c_str());
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, (classes + L"CLSID\\" + ClsidText()).c_str());
    return S_OK;
}
