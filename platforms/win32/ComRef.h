#pragma once
// An owned COM interface reference: released when the holder goes away.

#include <utility>

#include "platforms/win32/WindowsApi.h"

namespace norvik {

template <class T>
class ComRef {
public:
    ComRef() = default;
    // Takes over a reference the caller already holds.
    explicit ComRef(T* pointer) : pointer_(pointer) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept
    {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComRef() { Reset(); }

    void Reset()
    {
        if (pointer_)
            pointer_->Release();
        pointer_ = nullptr;
    }
    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For out parameters: the old reference is released first.
    T** Receive()
    {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

private:
    T* pointer_ = nullptr;
};

}  // namespace norvik
