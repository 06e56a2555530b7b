#include "host_support.h"

#include <cstring>
#include <utility>

namespace hosttest {

ComPtr<IDispatch> Create(const wchar_t* progId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid());
    return object;
}

Arg::Arg() { VariantInit(&value); }
Arg::Arg(const Arg& other) {
    VariantInit(&value);
    VariantCopy(&value, const_cast<VARIANT*>(&other.value));
}
Arg::~Arg() { VariantClear(&value); }

Arg Arg::Text(const std::wstring& text) {
    Arg arg;
    V_VT(&arg.value) = VT_BSTR;
    V_BSTR(&arg.value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return arg;
}
Arg Arg::Long(long number) { return Of(VT_I4, number); }
Arg Arg::Bool(bool flag) { return Of(VT_BOOL, flag ? -1 : 0); }
Arg Arg::Of(VARTYPE type, double number) {
    Arg arg;
    V_VT(&arg.value) = type == VT_NULL || type == VT_EMPTY ? type : VARTYPE{VT_R8};
    V_R8(&arg.value) = number;
    if (V_VT(&arg.value) != type) VariantChangeType(&arg.value, &arg.value, 0, type);
    return arg;
}
Arg Arg::Missing() {
    Arg arg;
    V_VT(&arg.value) = VT_ERROR;
    V_ERROR(&arg.value) = DISP_E_PARAMNOTFOUND;
    return arg;
}
Arg Arg::RefTo(VARIANT* variable) {
    Arg arg;
    V_VT(&arg.value) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&arg.value) = variable;
    return arg;
}

CallResult::CallResult() : exception{} { VariantInit(&value); }
CallResult::CallResult(CallResult&& other) noexcept
    : hr(other.hr), value(other.value), exception(other.exception), argError(other.argError) {
    VariantInit(&other.value);
    other.exception = {};
}
CallResult::~CallResult() {
    VariantClear(&value);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}
std::wstring CallResult::Text() const {
    try {
        return TextOf(const_cast<VARIANT*>(&value));
    } catch (const Raised&) {
        return L"<not text>";
    }
}
long CallResult::Number() const {
    try {
        return LongOf(const_cast<VARIANT*>(&value));
    } catch (const Raised&) {
        return -999999;
    }
}
int CallResult::Flag() const { return V_VT(&value) != VT_BOOL ? -1 : V_BOOL(&value) == VARIANT_TRUE ? 1 : 0; }
std::wstring CallResult::Description() const { return FromBstr(exception.bstrDescription); }
std::wstring CallResult::Source() const { return FromBstr(exception.bstrSource); }

CallResult CallNamed(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args,
                     const std::vector<std::wstring>& argNames) {
    CallResult result;
    std::vector<std::wstring> allNames{name};
    allNames.insert(allNames.end(), argNames.begin(), argNames.end());
    std::vector<LPOLESTR> namePointers;
    for (std::wstring& n : allNames) namePointers.push_back(n.data());
    std::vector<DISPID> ids(allNames.size());
    result.hr = object->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(namePointers.size()),
                                      LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(result.hr)) return result;
    // Named arguments come first in rgvarg (in the order of rgdispidNamedArgs), then the
    // positional ones in reverse order. A property put names its value DISPID_PROPERTYPUT.
    const size_t namedCount = argNames.size(), positionalCount = args.size() - namedCount;
    std::vector<VARIANT> packed(args.size());
    for (size_t k = 0; k < namedCount; ++k) packed[k] = args[positionalCount + k].value;
    for (size_t i = 0; i < positionalCount; ++i) packed[args.size() - 1 - i] = args[i].value;
    std::vector<DISPID> namedIds(ids.begin() + 1, ids.end());
    if (flags & DISPATCH_PROPERTYPUT) namedIds = {DISPID_PROPERTYPUT};
    DISPPARAMS params = {packed.data(), namedIds.data(), static_cast<UINT>(packed.size()),
                         static_cast<UINT>(namedIds.size())};
    result.hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.value, &result.exception,
                               &result.argError);
    return result;
}

CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args) {
    return CallNamed(object, name, flags, std::move(args), {});
}
CallResult Get(IDispatch* object, const wchar_t* name) { return Call(object, name, DISPATCH_PROPERTYGET, {}); }
CallResult Put(IDispatch* object, const wchar_t* name, Arg value) {
    return Call(object, name, DISPATCH_PROPERTYPUT, {value});
}

std::wstring FromBstr(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

std::wstring TempFolder() {
    // A GUID in the name: Wine reuses process ids, and nothing an earlier run left may turn a
    // copy into an overwrite.
    GUID id = {};
    CoCreateGuid(&id);
    wchar_t base[MAX_PATH] = {}, text[64] = {};
    GetTempPathW(MAX_PATH, base);
    StringFromGUID2(id, text, 64);
    const std::wstring folder = std::wstring(base) + L"zankit-host-" + std::wstring(text).substr(1, 13);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    for (DWORD got = 0; ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0;) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

SchemeHandler::SchemeHandler(const std::wstring& scheme, const std::wstring& command) : scheme_(scheme) {
    wchar_t previous[2048] = {};
    DWORD size = sizeof previous;
    RegGetValueW(HKEY_CLASSES_ROOT, (scheme + L"\\shell\\open\\command").c_str(), nullptr,
                 RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, previous, &size);
    previous_ = previous;
    registered_ = SetDefaultValue(scheme + L"\\shell\\open\\command", command);
}
SchemeHandler::~SchemeHandler() {
    if (previous_.empty()) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, scheme_.c_str());
    } else {
        SetDefaultValue(scheme_ + L"\\shell\\open\\command", previous_);
    }
}

std::wstring BesideTests(const wchar_t* program) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return L"\"" + std::wstring(self, wcsrchr(self, L'\\') + 1) + program + L"\"";
}

bool RunOnHost(const std::string& command, const std::function<bool()>& done) {
    std::wstring line = L"sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int waited = 0; waited < 60000 && !done(); waited += 50) Sleep(50);
    return done();
}

bool MakeManyOnHost(const std::wstring& folder, const char* prefix, int count, bool folders) {
    const std::string where = UnixPath(folder);
    // The last name appears last: xargs works through the names in order.
    const std::wstring last =
        folder + L"\\" + std::wstring(prefix, prefix + strlen(prefix)) + std::to_wstring(count - 1);
    return !where.empty() && RunOnHost("cd '" + where + "' && seq -f '" + prefix + "%.0f' 0 " +
                                           std::to_string(count - 1) + " | xargs " + (folders ? "mkdir" : "touch"),
                                       [&] { return Exists(last); });
}

HRESULT CanUnloadNow() {
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"zankit.dll"), "DllCanUnloadNow")));
    return entry ? entry() : E_FAIL;
}

namespace {

// The test logger, a class of this process registered as "zanErrLogger.Log": one record per
// CheckError(app, tag, text, bool, bool) call, tab-separated: the App object's title, path and
// version, the four other arguments as text, then the types of all five arguments.
// {7D0C3E55-2C4A-4E1B-9B8E-3F6A2D1C0B11}
const CLSID kLoggerClsid = {0x7d0c3e55, 0x2c4a, 0x4e1b, {0x9b, 0x8e, 0x3f, 0x6a, 0x2d, 0x1c, 0x0b, 0x11}};
std::vector<std::wstring> g_loggerRecords;

void CheckError(const std::wstring&, const Args& args, VARIANT*) {
    if (args.size() != 5) throw Raised{DISP_E_BADPARAMCOUNT, L"CheckError takes five arguments"};
    IDispatch* app = V_VT(args[0]) == VT_DISPATCH ? V_DISPATCH(args[0]) : nullptr;
    auto property = [&](const wchar_t* name) { return app ? Get(app, name).Text() : L"<missing>"; };
    std::wstring record =
        property(L"Title") + L"\t" + property(L"Path") + L"\t" + property(L"Major") + L"." + property(L"Minor");
    for (size_t i = 1; i < 5; ++i) record += L"\t" + TextOf(args[i]);
    for (size_t i = 0; i < 5; ++i) record += (i ? L"," : L"\t") + std::to_wstring(V_VT(args[i]));
    g_loggerRecords.push_back(record);
}

struct LoggerFactory final : IClassFactory {
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return TestDispatch::Make({L"CheckError"}, CheckError)->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

std::vector<std::wstring> TakeLoggerRecords() { return std::exchange(g_loggerRecords, {}); }

void RegisterTestLogger(bool installed) {
    static LoggerFactory factory;
    static DWORD cookie = 0;
    if (!cookie) CoRegisterClassObject(kLoggerClsid, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    const wchar_t* key = L"Software\\Classes\\zanErrLogger.Log";
    wchar_t clsid[39] = {};  // a GUID and its NUL, exactly: the platform's reader takes no more
    StringFromGUID2(kLoggerClsid, clsid, 39);
    if (installed) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(key) + L"\\CLSID").c_str(), nullptr, REG_SZ, clsid,
                        sizeof clsid);
    } else {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    }
}

ComPtr<IDispatch> TestDispatch::Make(std::vector<std::wstring> names, Member member) {
    return ComPtr<IDispatch>::Adopt(new TestDispatch(std::move(names), std::move(member)));
}
STDMETHODIMP TestDispatch::QueryInterface(REFIID iid, void** out) {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
    if (*out) AddRef();
    return *out ? S_OK : E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) TestDispatch::Release() {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}
STDMETHODIMP TestDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
    ids[0] = DISPID_UNKNOWN;
    for (size_t i = 0; i < names_.size(); ++i) {
        if (_wcsicmp(names_[i].c_str(), names[0]) == 0) ids[0] = static_cast<DISPID>(i);
    }
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}
STDMETHODIMP TestDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT*) {
    if (id < 0 || static_cast<size_t>(id) >= names_.size()) return DISP_E_MEMBERNOTFOUND;
    Args args;
    for (UINT i = params->cArgs; i > 0; --i) {
        VARIANT* arg = &params->rgvarg[i - 1];
        while (V_VT(arg) == (VT_BYREF | VT_VARIANT)) arg = V_VARIANTREF(arg);
        args.push_back(arg);
    }
    VARIANT ignored;
    VariantInit(&ignored);
    try {
        member_(names_[id], args, result ? result : &ignored);
        VariantClear(&ignored);
        return S_OK;
    } catch (const Raised& raised) {
        if (!exception) return raised.hr;
        *exception = {};
        exception->scode = raised.hr;
        exception->bstrSource = SysAllocString(L"TestDispatch");
        exception->bstrDescription = SysAllocString(raised.description.c_str());
        return DISP_E_EXCEPTION;
    } catch (...) {
        return DISP_E_BADPARAMCOUNT;  // the member read an argument that was not given
    }
}

namespace {
VARIANT Converted(VARIANT* value, VARTYPE vt) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, value, 0, vt)))
        throw Raised{static_cast<HRESULT>(0x800A000D), L"Type mismatch"};
    return converted;
}
}  // namespace

std::wstring TextOf(VARIANT* value) {
    VARIANT converted = Converted(value, VT_BSTR);
    std::wstring text = FromBstr(V_BSTR(&converted));
    VariantClear(&converted);
    return text;
}
long LongOf(VARIANT* value) {
    VARIANT converted = Converted(value, VT_I4);
    return V_I4(&converted);
}
void SetLong(VARIANT* result, long number) {
    V_VT(result) = VT_I4;
    V_I4(result) = number;
}
void SetObject(VARIANT* result, IDispatch* object) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    object->AddRef();
}

}  // namespace hosttest
