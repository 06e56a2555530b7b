#include "frame/dispatch_invoke.h"

#include <oleauto.h>

#include <new>
#include <cstring>
#include <vector>

#include "frame/argument_passing.h"
#include "frame/com_ptr.h"

namespace zankit {
namespace {

constexpr int kNoArgument = -1;

// The per-call arrays: on the stack for the usual few arguments, on the heap for more. Only
// the elements in use are constructed.
template <typename T, size_t Inline>
class CallArray {
public:
    explicit CallArray(size_t size) : size_(size) {
        if (size > Inline) {
            heap_.resize(size);
            items_ = heap_.data();
        } else {
            items_ = reinterpret_cast<T*>(stack_);
            for (size_t i = 0; i < size; ++i) new (&items_[i]) T();
        }
    }
    CallArray(const CallArray&) = delete;
    CallArray& operator=(const CallArray&) = delete;
    ~CallArray() {
        if (size_ <= Inline) {
            for (size_t i = 0; i < size_; ++i) items_[i].~T();
        }
    }
    size_t size() const { return size_; }
    T* data() { return items_; }
    T& operator[](size_t i) { return items_[i]; }
    T& back() { return items_[size_ - 1]; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }

private:
    size_t size_;
    T* items_ = nullptr;
    alignas(T) unsigned char stack_[Inline * sizeof(T)];
    std::vector<T> heap_;
};

constexpr size_t kInlineArguments = 8;
using SourceArray = CallArray<int, kInlineArguments>;
using SlotArray = CallArray<CallSlot, kInlineArguments>;

// Which caller argument (index into rgvarg) feeds each formal parameter; kNoArgument where the
// caller gave none. rgvarg holds the named arguments first, then the positional ones last first.
HRESULT MatchArguments(const MemberPlan& member, const DISPPARAMS& params, SourceArray& source) {
    const UINT formalCount = static_cast<UINT>(member.params.size());
    const UINT positional = params.cArgs - params.cNamedArgs;
    if (positional > formalCount) return DISP_E_BADPARAMCOUNT;
    for (int& s : source) s = kNoArgument;
    for (UINT i = 0; i < positional; ++i) source[i] = static_cast<int>(params.cArgs - 1 - i);
    for (UINT k = 0; k < params.cNamedArgs; ++k) {
        DISPID named = params.rgdispidNamedArgs[k];
        // The value of a property put is its last parameter.
        if (named == DISPID_PROPERTYPUT && member.IsPut() && formalCount > 0)
            named = static_cast<DISPID>(formalCount - 1);
        if (named < 0 || static_cast<UINT>(named) >= formalCount) return DISP_E_PARAMNOTFOUND;
        if (source[static_cast<UINT>(named)] != kNoArgument) return DISP_E_PARAMNOTFOUND;  // given twice
        source[static_cast<UINT>(named)] = static_cast<int>(k);
    }
    return S_OK;
}

// Coerces every argument into its slot; on a refusal, argError names the caller's argument.
HRESULT PrepareArguments(const MemberPlan& member, DISPPARAMS& params, SourceArray& source, SlotArray& slots,
                         UINT* argError) {
    for (size_t i = 0; i < member.params.size(); ++i) {
        VARIANT* argument = source[i] == kNoArgument ? nullptr : &params.rgvarg[source[i]];
        HRESULT hr = PrepareArgument(member.params[i], argument, slots[i]);
        if (FAILED(hr)) {
            if (argError && argument) *argError = static_cast<UINT>(source[i]);
            return hr;
        }
    }
    if (member.hasRetval) PrepareRetval(member.retvalType, slots.back());
    return S_OK;
}

// Calls the vtable slot; memberResult is the member's own HRESULT.
HRESULT CallMember(void* instance, const MemberPlan& member, SlotArray& slots, HRESULT* memberResult) {
    CallArray<VARTYPE, kInlineArguments> types(slots.size());
    CallArray<VARIANTARG*, kInlineArguments> pointers(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        types[i] = slots[i].callType;
        pointers[i] = slots[i].passed;
    }
    SetErrorInfo(0, nullptr);
    VARIANT returned;
    VariantInit(&returned);
    // The HRESULT comes back as VT_ERROR (Wine's DispCallFunc refuses VT_HRESULT as a return type).
    HRESULT hr = DispCallFunc(instance, member.vtableOffset, member.callConvention, VT_ERROR,
                              static_cast<UINT>(slots.size()), types.data(), pointers.data(), &returned);
    if (FAILED(hr)) return hr;
    *memberResult = V_ERROR(&returned);
    return S_OK;
}

void WriteBackArguments(SlotArray& slots) {
    for (CallSlot& slot : slots) {
        if (slot.writeBack) WriteBack(slot.callerArgument, slot.value.Get());
    }
}

// A failing member's error object, as IDispatch callers read it.
HRESULT MapMemberFailure(HRESULT memberResult, EXCEPINFO* exception) {
    if (!exception) return memberResult;
    std::memset(exception, 0, sizeof(*exception));
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, error.Put()) == S_OK && error) {
        error->GetSource(&exception->bstrSource);
        error->GetDescription(&exception->bstrDescription);
        error->GetHelpFile(&exception->bstrHelpFile);
        error->GetHelpContext(&exception->dwHelpContext);
    }
    exception->scode = memberResult;
    return DISP_E_EXCEPTION;
}

void HandOverResult(const MemberPlan& member, SlotArray& slots, VARIANT* result) {
    if (!result) return;
    VariantInit(result);
    if (!member.hasRetval) return;
    Variant& value = slots.back().value;
    if (member.retvalType != VT_VARIANT) V_VT(value.Get()) = member.retvalType;
    value.MoveTo(result);
}

}  // namespace

HRESULT InvokeMember(void* instance, const InterfaceInfo& info, DISPID id, WORD flags, DISPPARAMS* params,
                     VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    static DISPPARAMS noParams = {nullptr, nullptr, 0, 0};
    if (!params) params = &noParams;
    if (params->cArgs < params->cNamedArgs) return E_INVALIDARG;
    if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs)) return E_INVALIDARG;

    const MemberPlan* member = info.Find(id, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    SourceArray source(member->params.size());
    HRESULT hr = MatchArguments(*member, *params, source);
    if (FAILED(hr)) return hr;
    SlotArray slots(member->params.size() + (member->hasRetval ? 1 : 0));
    hr = PrepareArguments(*member, *params, source, slots, argError);
    if (FAILED(hr)) return hr;

    HRESULT memberResult = S_OK;
    hr = CallMember(instance, *member, slots, &memberResult);
    if (FAILED(hr)) return hr;
    WriteBackArguments(slots);
    if (FAILED(memberResult)) return MapMemberFailure(memberResult, exception);
    HandOverResult(*member, slots, result);
    return S_OK;
}

}  // namespace zankit
