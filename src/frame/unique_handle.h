// UniqueHandle: owns one handle of any kind and releases it with the kind's own close
// function when it goes. The kind is named once as a type:
//
//     using KernelHandle = UniqueHandle<HANDLE, &CloseKernelHandle, nullptr, &IsUsableKernelHandle>;
//
// T       the handle type;
// Close   the function that releases a handle (its result is ignored);
// Empty   the value that stands for "no handle", held after Release() and by default;
// IsValid optional test for handles that have more than one "no handle" value
//         (INVALID_HANDLE_VALUE and null); without it every value but Empty counts.
#pragma once

#include <utility>

namespace zankit {

template <typename T, auto Close, T Empty = T{}, auto IsValid = nullptr>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    static bool Usable(T value) {
        if constexpr (IsValid == nullptr) {
            return value != Empty;
        } else {
            return IsValid(value);
        }
    }

    bool Valid() const { return Usable(value_); }
    explicit operator bool() const { return Valid(); }
    T Get() const { return value_; }

    // Closes what is held and takes `value` instead.
    void Reset(T value = Empty) {
        T old = std::exchange(value_, value);
        if (Usable(old)) Close(old);
    }
    // Gives the handle up without closing it.
    T Release() { return std::exchange(value_, Empty); }
    // For out-parameters: closes what is held and hands out the slot.
    T* Put() {
        Reset();
        return &value_;
    }

private:
    T value_ = Empty;
};

}  // namespace zankit
