#include "host_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "frame/text_conversion.h"

namespace hosttest {

ComPtr<IDispatch> Create(const wchar_t* progId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return object;
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
Arg Arg::Long(long number) {
    Arg arg;
    V_VT(&arg.value) = VT_I4;
    V_I4(&arg.value) = number;
    return arg;
}
Arg Arg::Bool(bool flag) {
    Arg arg;
    V_VT(&arg.value) = VT_BOOL;
    V_BOOL(&arg.value) = flag ? VARIANT_TRUE : VARIANT_FALSE;
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

CallResult::CallResult() {
    VariantInit(&value);
    exception = {};
}
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
    VARIANT converted;
    VariantInit(&converted);
    std::wstring text = L"<not text>";
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        text = FromBstr(V_BSTR(&converted));
    }
    VariantClear(&converted);
    return text;
}
long CallResult::Number() const {
    VARIANT converted;
    VariantInit(&converted);
    long number = -999999;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4))) number = V_I4(&converted);
    return number;
}
int CallResult::Flag() const {
    if (V_VT(&value) != VT_BOOL) return -1;
    return V_BOOL(&value) == VARIANT_TRUE ? 1 : 0;
}
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
    // positional ones in reverse order.
    const size_t namedCount = argNames.size();
    const size_t positionalCount = args.size() - namedCount;
    std::vector<VARIANT> packed(args.size());
    for (size_t k = 0; k < namedCount; ++k) packed[k] = args[positionalCount + k].value;
    for (size_t i = 0; i < positionalCount; ++i) packed[args.size() - 1 - i] = args[i].value;
    std::vector<DISPID> namedIds(ids.begin() + 1, ids.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {packed.data(), nullptr, static_cast<UINT>(packed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    } else if (namedCount) {
        params.rgdispidNamedArgs = namedIds.data();
        params.cNamedArgs = static_cast<UINT>(namedCount);
    }
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
    static int counter = 0;
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"zankit-host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

namespace {
std::wstring LoggerFile() {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ZANKIT_TEST_LOGGER_FILE", path, MAX_PATH);
    return path;
}
}  // namespace

std::vector<std::wstring> TakeLoggerRecords() {
    std::vector<std::wstring> records;
    std::wstring file = LoggerFile();
    FILE* input = _wfopen(file.c_str(), L"rb");
    if (input) {
        std::string bytes;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, input)) > 0) bytes.append(buffer, n);
        fclose(input);
        std::istringstream lines(bytes);
        std::string line;
        while (std::getline(lines, line)) records.push_back(zankit::FromUtf8(line));
    }
    DeleteFileW(file.c_str());
    return records;
}

void RegisterTestLogger(bool installed) {
    HMODULE logger = LoadLibraryW(L"zanerrlogger_test.dll");
    if (!logger) return;
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(logger, installed ? "DllRegisterServer" : "DllUnregisterServer")));
    if (entry) entry();
}

}  // namespace hosttest
