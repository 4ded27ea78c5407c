// The process's committed private memory, sampled on a thread of its own so
// that the peak of a run is known. Wine leaves the PrivateUsage counter at 0,
// so the regions are counted with VirtualQuery.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace vorn::bench {

class MemoryProbe {
  public:
    explicit MemoryProbe(DWORD intervalMs = 25);
    ~MemoryProbe();  // stops sampling
    MemoryProbe(const MemoryProbe&) = delete;
    MemoryProbe& operator=(const MemoryProbe&) = delete;

    // Stops sampling after one last sample; the figures stay readable.
    void Stop();
    uint64_t BaselineBytes() const { return baseline_; }
    uint64_t PeakBytes() const { return peak_.load(); }

    // Committed private bytes of this process right now.
    static uint64_t PrivateBytes();
    // The system's own peak counter (may be 0 or approximate under Wine).
    static uint64_t PeakPagefileBytes();

  private:
    void Sample();

    DWORD intervalMs_;
    uint64_t baseline_ = 0;
    std::atomic<uint64_t> peak_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace vorn::bench
