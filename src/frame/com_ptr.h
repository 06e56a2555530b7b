// ComPtr: owns one reference to a COM interface and releases it when it goes.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace zankit {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* raw) : ptr_(raw) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.ptr_) {}
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        ComPtr copy(other);
        Swap(copy);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr moved(std::move(other));
        Swap(moved);
        return *this;
    }

    // Takes over a reference the caller already owns (no AddRef).
    static ComPtr Adopt(T* raw) {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }

    void Reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return ptr_; }
    T* Detach() { return std::exchange(ptr_, nullptr); }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    template <typename U>
    HRESULT As(ComPtr<U>& out, REFIID iid) const {
        if (!ptr_) return E_POINTER;
        return ptr_->QueryInterface(iid, out.PutVoid());
    }

private:
    T* ptr_ = nullptr;
};

}  // namespace zankit
