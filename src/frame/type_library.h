// The type library embedded in zankit.dll (resource 1), loaded once per process.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zankit {

// The type information of an interface, dispinterface or class in the library.
HRESULT GetLibraryTypeInfo(REFGUID guid, ITypeInfo** out);

// The library itself (for registration).
HRESULT GetTypeLibrary(ITypeLib** out);

// The attributes of a type info, released when they go. Check Valid() before reading them.
class TypeAttributes {
public:
    explicit TypeAttributes(ITypeInfo* info) : info_(info) {
        if (FAILED(info_->GetTypeAttr(&attributes_))) attributes_ = nullptr;
    }
    TypeAttributes(const TypeAttributes&) = delete;
    TypeAttributes& operator=(const TypeAttributes&) = delete;
    ~TypeAttributes() {
        if (attributes_) info_->ReleaseTypeAttr(attributes_);
    }
    bool Valid() const { return attributes_ != nullptr; }
    const TYPEATTR* operator->() const { return attributes_; }

private:
    ITypeInfo* info_;
    TYPEATTR* attributes_ = nullptr;
};

// A function description of a type info, released when it goes.
class FunctionDescription {
public:
    FunctionDescription(ITypeInfo* info, UINT index) : info_(info) {
        if (FAILED(info_->GetFuncDesc(index, &description_))) description_ = nullptr;
    }
    FunctionDescription(const FunctionDescription&) = delete;
    FunctionDescription& operator=(const FunctionDescription&) = delete;
    ~FunctionDescription() {
        if (description_) info_->ReleaseFuncDesc(description_);
    }
    bool Valid() const { return description_ != nullptr; }
    const FUNCDESC& operator*() const { return *description_; }

private:
    ITypeInfo* info_;
    FUNCDESC* description_ = nullptr;
};

}  // namespace zankit
