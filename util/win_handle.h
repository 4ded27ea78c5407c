// Small RAII owners for Win32 handles, so that every way out of a function
// closes what it opened.
#pragma once

#include <windows.h>

#include <utility>

namespace vorn {

template <typename Traits>
class ScopedHandle {
  public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle h) : handle_(h) {}
    ~ScopedHandle() { Reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    bool Valid() const { return Traits::Valid(handle_); }
    explicit operator bool() const { return Valid(); }

    // For APIs that return the handle through an out parameter.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }

    // Closes now; false when the system reports the close failed (for a file
    // written to, data that may never have reached the disk).
    bool Close() { return !Valid() || Traits::Close(Release()); }

    void Reset(Handle h = Traits::Invalid()) {
        if (Traits::Valid(handle_))
            Traits::Close(handle_);
        handle_ = h;
    }

  private:
    Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return ::CloseHandle(h) != FALSE; }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};

using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueFindHandle = ScopedHandle<FindHandleTraits>;
using UniqueRegKey = ScopedHandle<RegKeyTraits>;

}  // namespace vorn
