// Owners for COM: the apartment of the calling thread and interface pointers,
// so that every way out releases what was acquired.
#pragma once

#include <objbase.h>

#include <utility>

namespace vorn {

// CoInitialize for this thread; CoUninitialize only when it succeeded.
class ComApartment {
  public:
    ComApartment() : result_(::CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool Ok() const { return SUCCEEDED(result_); }

  private:
    HRESULT result_;
};

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For calls that hand out an interface through a void** parameter.
    void** ReceiveVoid() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }

    template <typename U>
    HRESULT As(ComPtr<U>& out) const {
        return p_ == nullptr ? E_POINTER : p_->QueryInterface(__uuidof(U), out.ReceiveVoid());
    }

    void Reset() {
        if (p_ != nullptr)
            std::exchange(p_, nullptr)->Release();
    }

  private:
    T* p_ = nullptr;
};

}  // namespace vorn
