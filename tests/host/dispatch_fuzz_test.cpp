// Every member of every class called late bound with arguments no careful host would send:
// wrong types, too many and too few, Null, Empty, arrays, objects, huge strings, extreme
// numbers, named arguments, and property puts on methods. Nothing may crash, and every refusal
// must be a DISP_E_* code or a run-time error that carries its text.
// The suite runs a small count; bench/dispatch/run_fuzz.sh sets ZANKIT_FUZZ_CALLS for the full one.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

// Members that open windows (dialogs, shell file operations with their confirmation and error
// windows), run shell commands, send mail, wait on the network (name lookups, ICMP, HTTP), or
// change the user's stored mail settings. Their argument handling is the same code as every
// other member's.
const std::wstring kSkipped =
    L" BrowseForFolder BrowseForFile ShellEx SendMail FilesCopy FilesDelete FolderMove FolderCopy FolderDelete Send "
    L"Connect MXQuery Ping GetIPAddress GetIPHost IsValidEmailAddress SMTPHost POP3Host SMTPHostValidation "
    L"EmailAddressValidation PersistentSettings OpenRequest SetRequestHeader ";

struct Member {
    size_t target;
    DISPID id;
    std::wstring name;
    UINT params;
};

void AddMembers(size_t target, IDispatch* object, std::vector<Member>& members) {
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()))) return;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        info->GetFuncDesc(i, &desc);
        BSTR name = nullptr;
        info->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
        std::wstring text = FromBstr(name);
        SysFreeString(name);
        // IUnknown and IDispatch themselves (0x6000xxxx, 0x6001xxxx) are not members a host calls.
        const bool inherited = desc->memid >= 0x60000000 && desc->memid < 0x60020000;
        if (!inherited && kSkipped.find(L" " + text + L" ") == std::wstring::npos) {
            members.push_back({target, desc->memid, text, static_cast<UINT>(desc->cParams)});
        }
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
}

// The hostile values, made once; each call passes copies. Numbers of every width at their
// edges, texts empty, huge and broken, an array, the live object, a null object, and a script
// variable (holding a number) passed by reference.
std::vector<Arg> HostileValues(IDispatch* object, VARIANT* variable) {
    const struct {
        VARTYPE vt;
        double number;
    } numbers[] = {{VT_EMPTY, 0},         {VT_NULL, 0},       {VT_I2, -32768}, {VT_I4, -2147483648.0},
                   {VT_I4, 2147483647.0}, {VT_R8, 1e300},     {VT_R8, -1.5},   {VT_R8, std::nan("")},
                   {VT_BOOL, -1},         {VT_DATE, -657435}, {VT_CY, 9.2e14}};
    std::vector<Arg> values = {Arg::Missing(),
                               Arg::Text(L""),
                               Arg::Text(L"zk-fuzz-name"),
                               Arg::Text(std::wstring(70000, L'A')),
                               Arg::Text(std::wstring(L"a\0b\x01\xFFFF", 5)),
                               Arg::RefTo(variable)};
    for (const auto& [vt, number] : numbers) {
        VARIANT& value = values.emplace_back().value;
        V_VT(&value) = vt == VT_EMPTY || vt == VT_NULL ? vt : VARTYPE{VT_R8};
        V_R8(&value) = number;
        if (V_VT(&value) != vt) VariantChangeType(&value, &value, 0, vt);
    }
    for (IDispatch* dispatch : {object, static_cast<IDispatch*>(nullptr)}) {
        VARIANT& value = values.emplace_back().value;
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = dispatch;
        if (dispatch) dispatch->AddRef();
    }
    SAFEARRAYBOUND bound = {3, 0};
    VARIANT& array = values.emplace_back().value;
    V_VT(&array) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&array) = SafeArrayCreate(VT_VARIANT, 1, &bound);
    return values;
}

// Null when the answer is acceptable, else what was wrong with it.
const char* Judge(HRESULT hr, const EXCEPINFO& exception) {
    if (SUCCEEDED(hr) || (HRESULT_FACILITY(hr) == FACILITY_DISPATCH && hr != DISP_E_EXCEPTION)) return nullptr;
    if (hr != DISP_E_EXCEPTION) return "refused with a code outside FACILITY_DISPATCH";
    if (!FAILED(exception.scode)) return "DISP_E_EXCEPTION without a failing scode";
    if (SysStringLen(exception.bstrDescription) == 0) return "run-time error without a text";
    return nullptr;
}

}  // namespace

TEST(DispatchFuzz, HostileCallsAreRefusedCleanly) {
    // Relative names the members get land in an empty folder of their own, and failure
    // reports go nowhere.
    std::wstring folder = TempFolder();
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    RegisterTestLogger(false);

    std::vector<std::pair<std::wstring, ComPtr<IDispatch>>> targets;
    for (const wchar_t* progId : {L"ZanKit.FileSysInfo", L"ZanKit.FileIcon", L"ZanKit.FileWriter",
                                  L"ZanKit.clsSendMail", L"ZanKit.WinHttpWrapper"}) {
        targets.emplace_back(progId, Create(progId));
        ASSERT_TRUE(targets.back().second) << progId;
    }
    CallResult list =
        Call(targets[0].second.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(folder), Arg::Long(59)});
    ASSERT_EQ(V_VT(&list.value), VT_DISPATCH);
    targets.emplace_back(L"collection", ComPtr<IDispatch>(V_DISPATCH(&list.value)));
    std::vector<Member> members;
    for (size_t t = 0; t < targets.size(); ++t) AddMembers(t, targets[t].second.Get(), members);
    ASSERT_FALSE(members.empty());

    wchar_t setting[32] = {};
    const long calls =
        GetEnvironmentVariableW(L"ZANKIT_FUZZ_CALLS", setting, 32) ? std::wcstol(setting, nullptr, 10) : 3000;
    const WORD kFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF};
    std::minstd_rand random(20261206);  // deterministic, so a failing call can be replayed from its number
    auto below = [&](size_t n) { return static_cast<UINT>(random() % n); };
    VARIANT variable;
    VariantInit(&variable);
    std::vector<Arg> values = HostileValues(targets[0].second.Get(), &variable);
    long faults = 0, answered = 0, raised = 0;
    for (long n = 0; n < calls; ++n) {
        const Member& member = members[below(members.size())];
        const WORD flags = kFlags[below(5)];
        const UINT count = below(member.params + 3);
        VariantClear(&variable);
        V_VT(&variable) = VT_I2;
        V_I2(&variable) = 7;
        std::vector<VARIANT> args(count);
        for (VARIANT& arg : args) {
            VariantInit(&arg);
            VariantCopy(&arg, &values[below(values.size())].value);
        }
        // Named arguments: the put value, or parameter numbers that may or may not exist.
        std::vector<DISPID> names;
        if (count > 0 && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            names.push_back(DISPID_PROPERTYPUT);
        } else if (count > 0 && below(4) == 0) {
            names.push_back(static_cast<DISPID>(below(member.params + 2)) - 1);
        }
        DISPPARAMS params = {count ? args.data() : nullptr, names.empty() ? nullptr : names.data(), count,
                             static_cast<UINT>(names.size())};
        CallResult result;
        result.hr = targets[member.target].second->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                                          &result.value, &result.exception, &result.argError);
        for (VARIANT& arg : args) VariantClear(&arg);
        answered += SUCCEEDED(result.hr);
        raised += result.hr == DISP_E_EXCEPTION;
        const char* fault = Judge(result.hr, result.exception);
        if (fault && ++faults <= 20) {
            ADD_FAILURE() << "call " << n << ": " << testing::PrintToString(targets[member.target].first) << "."
                          << testing::PrintToString(member.name) << " flags " << flags << " args " << count << ": "
                          << fault << " (0x" << std::hex << result.hr << std::dec << ")";
        }
    }
    VariantClear(&variable);
    RegisterTestLogger(true);
    SetCurrentDirectoryW(previous);
    std::printf(
        "dispatch fuzz: %ld calls over %zu members: %ld answered, %ld refused with DISP_E_*, %ld raised "
        "run-time errors; %ld faults\n",
        calls, members.size(), answered, calls - answered - raised, raised, faults);
}
