// TestDispatch: a small late-bound automation object for the host tests, whose members are
// lambdas. It stands in for outside objects a host hands to the library (image lists, a
// failing HTTP request object), so a test can record each call and answer as it needs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/com_ptr.h"

namespace hosttest {

// A failure a member raises: the HRESULT and its description (source "TestDispatch").
struct Raised {
    HRESULT hr;
    std::wstring description;
};

class TestDispatch final : public IDispatch {
public:
    // args are first to last; each may be a reference (VT_BYREF). A member either sets
    // *result and returns S_OK or throws Raised.
    using Member = std::function<void(const std::vector<VARIANT*>& args, VARIANT* result)>;

    static zankit::ComPtr<TestDispatch> Make();
    void Define(const std::wstring& name, Member member);
    // The default member (DISPID_VALUE), as collection(key) calls it.
    void DefineDefault(const std::wstring& name, Member member);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argError) override;

private:
    TestDispatch() = default;
    ~TestDispatch() = default;
    struct Entry {
        std::wstring name;
        DISPID id;
        Member member;
    };
    std::vector<Entry> members_;
    ULONG references_ = 1;
};

// Values as members see them: references followed, converted as VB would.
std::wstring TextOf(const VARIANT* value);
long LongOf(const VARIANT* value);
IDispatch* ObjectOf(const VARIANT* value);  // not AddRef'ed
void SetText(VARIANT* result, const std::wstring& text);
void SetLong(VARIANT* result, long number);
void SetObject(VARIANT* result, IDispatch* object);

}  // namespace hosttest
