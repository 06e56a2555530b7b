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

constexpr int kValueKinds = 20;

// One hostile value; an object or a variable it refers to lives in holder.
void MakeValue(int kind, VARIANT* out, IDispatch* someObject, VARIANT* variable) {
    VariantInit(out);
    switch (kind) {
        case 0:
            break;  // Empty
        case 1:
            V_VT(out) = VT_NULL;
            break;
        case 2:
            V_VT(out) = VT_ERROR;
            V_ERROR(out) = DISP_E_PARAMNOTFOUND;
            break;
        case 3:
            V_VT(out) = VT_I2;
            V_I2(out) = -32768;
            break;
        case 4:
            V_VT(out) = VT_I4;
            V_I4(out) = std::numeric_limits<LONG>::min();
            break;
        case 5:
            V_VT(out) = VT_I4;
            V_I4(out) = std::numeric_limits<LONG>::max();
            break;
        case 6:
            V_VT(out) = VT_R8;
            V_R8(out) = 1e300;
            break;
        case 7:
            V_VT(out) = VT_R8;
            V_R8(out) = -1.5;
            break;
        case 8:
            V_VT(out) = VT_R8;
            V_R8(out) = std::nan("");
            break;
        case 9:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = VARIANT_TRUE;
            break;
        case 10:
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocString(L"");
            break;
        case 11:
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocString(L"zk-fuzz-name");
            break;
        case 12: {
            std::wstring huge(70000, L'A');
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocStringLen(huge.data(), static_cast<UINT>(huge.size()));
            break;
        }
        case 13:
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocStringLen(L"a\0b\x01\xFFFF", 5);
            break;
        case 14:
            V_VT(out) = VT_DATE;
            V_DATE(out) = -657435.0;
            break;
        case 15:
            V_VT(out) = VT_CY;
            V_CY(out).int64 = std::numeric_limits<LONGLONG>::max();
            break;
        case 16: {
            SAFEARRAYBOUND bound = {3, 0};
            V_VT(out) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(out) = SafeArrayCreate(VT_VARIANT, 1, &bound);
            break;
        }
        case 17:
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = someObject;
            if (someObject) someObject->AddRef();
            break;
        case 18:
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = nullptr;
            break;
        default:  // a script variable holding a number, passed by reference
            VariantClear(variable);
            V_VT(variable) = VT_I2;
            V_I2(variable) = 7;
            V_VT(out) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(out) = variable;
            break;
    }
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
    for (long n = 0; n < calls; ++n) {
        const auto& [t, member] = members[random.Below(static_cast<uint32_t>(members.size()))];
        IDispatch* object = targets[t].object.Get();
        const WORD flags = kFlags[random.Below(5)];
        const UINT count = random.Below(member.params + 3);
        std::vector<VARIANT> args(count);
        for (VARIANT& arg : args) {
            MakeValue(static_cast<int>(random.Below(kValueKinds)), &arg, targets[0].object.Get(), &variable);
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
