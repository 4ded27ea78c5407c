// The accessor shared by the process-wide objects: created on first use under
// a plain mutex (double-checked, acquire/release), optionally released again.
#pragma once

#include <atomic>
#include <mutex>

namespace vorn {

template <typename T>
class Singleton {
  public:
    static T* Instance() {
        T* p = s_instance.load(std::memory_order_acquire);
        if (p != nullptr)
            return p;
        std::lock_guard<std::mutex> lock(s_mutex);
        p = s_instance.load(std::memory_order_relaxed);
        if (p == nullptr) {
            // A throwing constructor frees the memory and leaves the pointer null.
            p = new T();
            s_instance.store(p, std::memory_order_release);
        }
        return p;
    }

    // Deletes the object under the same lock; a later Instance() makes a new one.
    static void ReleaseInstance() {
        std::lock_guard<std::mutex> lock(s_mutex);
        T* p = s_instance.load(std::memory_order_relaxed);
        if (p != nullptr) {
            s_instance.store(nullptr, std::memory_order_release);
            delete p;
        }
    }

  protected:
    Singleton() = default;
    ~Singleton() = default;

  private:
    static inline std::atomic<T*> s_instance{nullptr};
    static inline std::mutex s_mutex;
};

}  // namespace vorn
