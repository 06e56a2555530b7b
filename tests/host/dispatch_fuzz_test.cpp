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
#include <cstdint>
#include <limits>
#include <set>
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
const std::set<std::wstring> kSkipped = {L"BrowseForFolder",
                                         L"BrowseForFile",
                                         L"ShellEx",
                                         L"SendMail",
                                         L"FilesCopy",
                                         L"FilesDelete",
                                         L"FolderMove",
                                         L"FolderCopy",
                                         L"FolderDelete",
                                         L"Send",
                                         L"Connect",
                                         L"MXQuery",
                                         L"Ping",
                                         L"GetIPAddress",
                                         L"GetIPHost",
                                         L"IsValidEmailAddress",
                                         L"SMTPHost",
                                         L"POP3Host",
                                         L"SMTPHostValidation",
                                         L"EmailAddressValidation",
                                         L"PersistentSettings",
                                         L"OpenRequest",
                                         L"SetRequestHeader"};

struct Member {
    DISPID id;
    std::wstring name;
    UINT params;
};

std::vector<Member> MembersOf(IDispatch* object) {
    std::vector<Member> members;
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()))) return members;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        info->GetFuncDesc(i, &desc);
        BSTR name = nullptr;
        info->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
        std::wstring text = FromBstr(name);
        SysFreeString(name);
        // IUnknown and IDispatch themselves are not members a host calls.
        if (desc->memid >= 0x60000000 && desc->memid < 0x60020000) text.clear();
        if (!text.empty() && !kSkipped.count(text)) {
            members.push_back({desc->memid, text, static_cast<UINT>(desc->cParams)});
        }
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

// A small deterministic generator, so a failing call can be replayed from its number.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state_;
};

template <typename Fill>
Arg Value(VARTYPE vt, Fill fill) {
    Arg arg;
    V_VT(&arg.value) = vt;
    fill(arg.value);
    return arg;
}

// The hostile values, made once; each call passes copies. The last one is a script variable
// (holding a number) passed by reference.
std::vector<Arg> HostileValues(IDispatch* object, VARIANT* variable) {
    return {
        Arg(),
        Value(VT_NULL, [](VARIANT&) {}),
        Arg::Missing(),
        Value(VT_I2, [](VARIANT& v) { V_I2(&v) = -32768; }),
        Arg::Long(std::numeric_limits<LONG>::min()),
        Arg::Long(std::numeric_limits<LONG>::max()),
        Value(VT_R8, [](VARIANT& v) { V_R8(&v) = 1e300; }),
        Value(VT_R8, [](VARIANT& v) { V_R8(&v) = -1.5; }),
        Value(VT_R8, [](VARIANT& v) { V_R8(&v) = std::nan(""); }),
        Arg::Bool(true),
        Arg::Text(L""),
        Arg::Text(L"zk-fuzz-name"),
        Arg::Text(std::wstring(70000, L'A')),
        Arg::Text(std::wstring(L"a\0b\x01\xFFFF", 5)),
        Value(VT_DATE, [](VARIANT& v) { V_DATE(&v) = -657435.0; }),
        Value(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = std::numeric_limits<LONGLONG>::max(); }),
        Value(VT_ARRAY | VT_VARIANT,
              [](VARIANT& v) {
                  SAFEARRAYBOUND bound = {3, 0};
                  V_ARRAY(&v) = SafeArrayCreate(VT_VARIANT, 1, &bound);
              }),
        Value(VT_DISPATCH,
              [&](VARIANT& v) {
                  V_DISPATCH(&v) = object;
                  object->AddRef();
              }),
        Value(VT_DISPATCH, [](VARIANT& v) { V_DISPATCH(&v) = nullptr; }),
        Arg::RefTo(variable),
    };
}

const WORD kFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                       DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF};

bool IsDispatchCode(HRESULT hr) { return HRESULT_FACILITY(hr) == FACILITY_DISPATCH && FAILED(hr); }

// "" when the answer is acceptable, else what was wrong with it.
std::wstring Judge(HRESULT hr, const EXCEPINFO& exception) {
    if (SUCCEEDED(hr)) return L"";
    if (hr == DISP_E_EXCEPTION) {
        if (!FAILED(exception.scode)) return L"DISP_E_EXCEPTION without a failing scode";
        if (!exception.bstrDescription || SysStringLen(exception.bstrDescription) == 0) {
            return L"run-time error without a text";
        }
        return L"";
    }
    if (IsDispatchCode(hr)) return L"";
    wchar_t text[32];
    _snwprintf(text, 32, L"refused with 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

long FuzzCalls() {
    wchar_t value[32] = {};
    if (GetEnvironmentVariableW(L"ZANKIT_FUZZ_CALLS", value, 32) == 0) return 3000;
    return std::wcstol(value, nullptr, 10);
}

struct Target {
    const wchar_t* what;
    ComPtr<IDispatch> object;
};

}  // namespace

TEST(DispatchFuzz, HostileCallsAreRefusedCleanly) {
    // Relative names the members get land in an empty folder of their own, and failure
    // reports go nowhere.
    std::wstring folder = TempFolder();
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    RegisterTestLogger(false);

    std::vector<Target> targets;
    for (const wchar_t* progId : {L"ZanKit.FileSysInfo", L"ZanKit.FileIcon", L"ZanKit.FileWriter",
                                  L"ZanKit.clsSendMail", L"ZanKit.WinHttpWrapper"}) {
        targets.push_back({progId, Create(progId)});
    }
    CallResult list =
        Call(targets[0].object.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(folder), Arg::Long(59)});
    ASSERT_EQ(V_VT(&list.value), VT_DISPATCH);
    targets.push_back({L"collection", ComPtr<IDispatch>(V_DISPATCH(&list.value))});

    std::vector<std::pair<size_t, Member>> members;
    for (size_t t = 0; t < targets.size(); ++t) {
        ASSERT_TRUE(targets[t].object) << targets[t].what;
        for (Member& m : MembersOf(targets[t].object.Get())) members.push_back({t, m});
    }
    ASSERT_FALSE(members.empty());

    const long calls = FuzzCalls();
    Random random(20261206);
    std::vector<std::wstring> faults;
    long succeeded = 0, refused = 0, raised = 0;
    VARIANT variable;
    VariantInit(&variable);
    const std::vector<Arg> values = HostileValues(targets[0].object.Get(), &variable);
    for (long n = 0; n < calls; ++n) {
        const auto& [t, member] = members[random.Below(static_cast<uint32_t>(members.size()))];
        IDispatch* object = targets[t].object.Get();
        const WORD flags = kFlags[random.Below(5)];
        const UINT count = random.Below(member.params + 3);
        VariantClear(&variable);
        V_VT(&variable) = VT_I2;
        V_I2(&variable) = 7;
        std::vector<VARIANT> args(count);
        for (VARIANT& arg : args) {
            VariantInit(&arg);
            VariantCopy(&arg, const_cast<VARIANT*>(&values[random.Below(static_cast<uint32_t>(values.size()))].value));
        }
        // Named arguments: the put value, or parameter numbers that may or may not exist.
        std::vector<DISPID> names;
        if (count > 0 && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            names.push_back(DISPID_PROPERTYPUT);
        } else if (count > 0 && random.Below(4) == 0) {
            names.push_back(static_cast<DISPID>(random.Below(member.params + 2)) - 1);
        }
        DISPPARAMS params = {args.empty() ? nullptr : args.data(), names.empty() ? nullptr : names.data(), count,
                             static_cast<UINT>(names.size())};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argError = 0;
        HRESULT hr =
            object->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &exception, &argError);
        std::wstring fault = Judge(hr, exception);
        if (SUCCEEDED(hr)) {
            ++succeeded;
        } else if (hr == DISP_E_EXCEPTION) {
            ++raised;
        } else {
            ++refused;
        }
        if (!fault.empty() && faults.size() < 20) {
            faults.push_back(L"call " + std::to_wstring(n) + L": " + targets[t].what + L"." + member.name + L" flags " +
                             std::to_wstring(flags) + L" args " + std::to_wstring(count) + L": " + fault);
        }
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        for (VARIANT& arg : args) VariantClear(&arg);
    }
    VariantClear(&variable);

    RegisterTestLogger(true);
    SetCurrentDirectoryW(previous);
    for (const std::wstring& fault : faults) ADD_FAILURE() << std::string(fault.begin(), fault.end());
    std::printf(
        "dispatch fuzz: %ld calls over %zu members: %ld answered, %ld refused with DISP_E_*, %ld raised "
        "run-time errors; %zu faults\n",
        calls, members.size(), succeeded, refused, raised, faults.size());
}
