// The common base of every automation object of the library: reference counting, the
// dual interface's IDispatch through the type library, and ISupportErrorInfo.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <new>
#include <string>

#include "frame/com_ptr.h"
#include "frame/dispatch_invoke.h"
#include "frame/error_info.h"
#include "frame/interface_info.h"
#include "frame/module.h"
#include "frame/raised_error.h"
#include "frame/text_conversion.h"

namespace zankit {

template <typename Interface>
class DispatchObject : public Interface, public ISupportErrorInfo {
public:
    DispatchObject(REFIID iid, std::wstring errorSource) : iid_(iid), errorSource_(std::move(errorSource)) {
        ObjectCreated();
    }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, iid_)) {
            *out = static_cast<Interface*>(this);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            *out = QueryOtherInterface(riid);
            if (!*out) return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        const InterfaceInfo* shared = nullptr;
        HRESULT hr = Info(&shared);
        if (FAILED(hr)) return hr;
        *info = shared->DispatchInfo();
        (*info)->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        const InterfaceInfo* shared = nullptr;
        HRESULT hr = Info(&shared);
        if (FAILED(hr)) return hr;
        return shared->IdsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argError) override {
        const InterfaceInfo* shared = nullptr;
        HRESULT hr = Info(&shared);
        if (FAILED(hr)) return hr;
        return InvokeMember(static_cast<Interface*>(this), *shared, id, flags, params, result, exception, argError);
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return IsEqualIID(riid, iid_) ? S_OK : S_FALSE; }

protected:
    virtual ~DispatchObject() { ObjectDestroyed(); }

    // Further interfaces a class offers (connection points, class info); not AddRef'ed.
    virtual void* QueryOtherInterface(REFIID) { return nullptr; }

    HRESULT Raise(HRESULT hr, std::wstring_view description) { return RaiseError(iid_, hr, errorSource_, description); }
    HRESULT RaiseFrom(HRESULT hr, std::wstring_view source, std::wstring_view description) {
        return RaiseError(iid_, hr, source, description);
    }

    // Runs a member's body so that no C++ exception crosses the COM boundary; a RaisedError
    // becomes the member's automation error.
    template <typename Body>
    HRESULT Guarded(Body&& body) {
        try {
            return body();
        } catch (const RaisedError& raised) {
            if (raised.source.empty()) return Raise(raised.number, raised.description);
            return RaiseFrom(raised.number, raised.source, raised.description);
        } catch (const std::bad_alloc&) {
            return Raise(E_OUTOFMEMORY, L"Out of memory");
        } catch (const TextConversionError&) {
            return Raise(VbError(5), L"Invalid procedure call or argument");
        } catch (...) {
            return Raise(E_UNEXPECTED, L"Unexpected failure");
        }
    }

    const IID& InterfaceId() const { return iid_; }

private:
    // The interface's shared type information, found once per object.
    HRESULT Info(const InterfaceInfo** out) {
        if (!info_) {
            HRESULT hr = InterfaceInfo::For(iid_, &info_);
            if (FAILED(hr)) return hr;
        }
        *out = info_;
        return S_OK;
    }

    const IID& iid_;
    const InterfaceInfo* info_ = nullptr;
    std::wstring errorSource_;
    std::atomic<long> references_{1};
};

// Creates an object of a class and hands out the asked interface (the standard
// class-factory step).
template <typename Object>
HRESULT CreateAndQuery(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Object* object = nullptr;
    try {
        object = new Object();
    } catch (...) {
        return E_OUTOFMEMORY;  // a constructor that cannot get its resources
    }
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace zankit
