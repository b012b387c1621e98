// A counted COM interface pointer: releases what it holds when it goes or takes another.
#pragma once

#include <objbase.h>

#include <utility>

namespace quillax::win32 {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes an additional reference on p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_ != nullptr) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
    }
    // For functions that hand out a reference through T**: the old pointer is released first.
    T** Put() {
        Reset();
        return &p_;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Queries the held object for another interface; empty when it has none.
    template <typename U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> result;
        if (p_ != nullptr) {
            void* out = nullptr;
            if (SUCCEEDED(p_->QueryInterface(iid, &out))) *result.Put() = static_cast<U*>(out);
        }
        return result;
    }

private:
    T* p_ = nullptr;
};

}  // namespace quillax::win32
