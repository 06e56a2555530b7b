// Every member of every class called late bound with arguments no careful host would send:
// wrong types, too many and too few, Null, Empty, arrays, objects, huge strings, extreme
// numbers, named arguments, and property puts on methods. Nothing may crash, and every refusal
// must be a DISP_E_* code or a run-time error that carries its text.
// The suite runs a small count; bench/dispatch/run_fuzz.sh sets ZANKIT_FUZZ_CALLS for the full one.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

// Members that open windows, run shell commands, send mail, wait on the network or change the
// user's stored mail settings are left out; their argument handling is everyone's.
const std::wstring kSkipped =
    L" BrowseForFolder BrowseForFile ShellEx SendMail FilesCopy FilesDelete FolderMove FolderCopy FolderDelete Send "
    L"Connect MXQuery Ping GetIPAddress GetIPHost IsValidEmailAddress SMTPHost POP3Host SMTPHostValidation "
    L"EmailAddressValidation PersistentSettings OpenRequest SetRequestHeader ";

TEST(DispatchFuzz, HostileCallsAreRefusedCleanly) {
    // Relative names land in an empty folder of their own, and failure reports go nowhere.
    const std::wstring folder = TempFolder();
    wchar_t previous[MAX_PATH] = {}, setting[32] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    RegisterTestLogger(false);

    // Every member: its object, DISPID, name and parameter count.
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult list = Call(info.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(folder), Arg::Long(59)});
    ASSERT_EQ(V_VT(&list.value), VT_DISPATCH);
    std::vector<std::tuple<ComPtr<IDispatch>, DISPID, std::wstring, UINT>> members;
    for (ComPtr<IDispatch> object :
         {info, Create(L"ZanKit.FileIcon"), Create(L"ZanKit.FileWriter"), Create(L"ZanKit.clsSendMail"),
          Create(L"ZanKit.WinHttpWrapper"), ComPtr<IDispatch>(V_DISPATCH(&list.value))}) {
        ComPtr<ITypeInfo> type;
        TYPEATTR* attr = nullptr;
        ASSERT_TRUE(object && SUCCEEDED(object->GetTypeInfo(0, 0, type.Put())) && SUCCEEDED(type->GetTypeAttr(&attr)));
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* desc = nullptr;
            BSTR name = nullptr;
            type->GetFuncDesc(i, &desc);
            type->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
            // IUnknown and IDispatch themselves (0x6000xxxx, 0x6001xxxx) are not members a host calls.
            const bool inherited = desc->memid >= 0x60000000 && desc->memid < 0x60020000;
            if (!inherited && kSkipped.find(L" " + FromBstr(name) + L" ") == std::wstring::npos)
                members.emplace_back(object, desc->memid, FromBstr(name), desc->cParams);
            SysFreeString(name);
            type->ReleaseFuncDesc(desc);
        }
        type->ReleaseTypeAttr(attr);
    }

    // The hostile values; each call passes copies. The script variable holds a number.
    Arg variable = Arg::Of(VT_I2, 7), array, object, nothing;
    SAFEARRAYBOUND bound = {3, 0};
    V_VT(&array.value) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&array.value) = SafeArrayCreate(VT_VARIANT, 1, &bound);
    V_VT(&object.value) = VT_DISPATCH;
    V_DISPATCH(&object.value) = info.Get();
    info->AddRef();
    V_VT(&nothing.value) = VT_DISPATCH;
    V_DISPATCH(&nothing.value) = nullptr;
    std::vector<Arg> values = {Arg::Missing(), Arg::RefTo(&variable.value), nothing, array, object};
    for (const std::wstring& text :
         {std::wstring(), std::wstring(L"zk-fuzz-name"), std::wstring(70000, L'A'), std::wstring(L"a\0b\x01\xFFFF", 5)})
        values.push_back(Arg::Text(text));
    const std::pair<VARTYPE, double> numbers[] = {{VT_EMPTY, 0},          {VT_NULL, 0},          {VT_I2, -32768},
                                                  {VT_I4, -2147483648.0}, {VT_I4, 2147483647.0}, {VT_R8, 1e300},
                                                  {VT_R8, -1.5},          {VT_R8, std::nan("")}, {VT_BOOL, -1},
                                                  {VT_DATE, -657435},     {VT_CY, 9.2e14}};
    for (const auto& [type, number] : numbers) values.push_back(Arg::Of(type, number));

    const long calls =
        GetEnvironmentVariableW(L"ZANKIT_FUZZ_CALLS", setting, 32) ? std::wcstol(setting, nullptr, 10) : 3000;
    const WORD kFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF};
    std::minstd_rand random(20261206);  // deterministic, so a failing call can be replayed from its number
    auto below = [&](size_t n) { return static_cast<UINT>(random() % n); };
    long faults = 0;
    for (long n = 0; n < calls; ++n) {
        const auto& [target, id, name, params] = members[below(members.size())];
        const WORD flags = kFlags[below(5)];
        const UINT count = below(params + 3);
        VariantClear(&variable.value);
        V_VT(&variable.value) = VT_I2;
        V_I2(&variable.value) = 7;
        std::vector<Arg> args(count);
        for (Arg& arg : args) VariantCopy(&arg.value, &values[below(values.size())].value);
        // Named arguments: the put value, or parameter numbers that may or may not exist.
        std::vector<DISPID> names;
        if (count > 0 && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            names.push_back(DISPID_PROPERTYPUT);
        } else if (count > 0 && below(4) == 0) {
            names.push_back(static_cast<DISPID>(below(params + 2)) - 1);
        }
        DISPPARAMS dispParams = {count ? &args[0].value : nullptr, names.empty() ? nullptr : names.data(), count,
                                 static_cast<UINT>(names.size())};
        CallResult result;
        result.hr = target->Invoke(id, IID_NULL, 0, flags, &dispParams, &result.value, &result.exception, nullptr);
        // Acceptable: success, a DISP_E_* refusal, or a run-time error with a failing code and a text.
        const bool refused = HRESULT_FACILITY(result.hr) == FACILITY_DISPATCH && result.hr != DISP_E_EXCEPTION;
        const bool raised = result.hr == DISP_E_EXCEPTION && FAILED(result.exception.scode) &&
                            SysStringLen(result.exception.bstrDescription) > 0;
        if (FAILED(result.hr) && !refused && !raised && ++faults <= 20) {
            ADD_FAILURE() << "call " << n << ": " << testing::PrintToString(name) << " flags " << flags << " args "
                          << count << ": 0x" << std::hex << result.hr << " scode 0x" << result.exception.scode;
        }
    }
    RegisterTestLogger(true);
    SetCurrentDirectoryW(previous);
    std::printf("dispatch fuzz: %ld calls over %zu members; %ld faults\n", calls, members.size(), faults);
}
