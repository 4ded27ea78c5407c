#include "bench/memory_probe.h"

#include <psapi.h>

#include <algorithm>

namespace vorn::bench {

MemoryProbe::MemoryProbe(DWORD intervalMs) : intervalMs_(intervalMs) {
    baseline_ = PrivateBytes();
    peak_ = baseline_;
    thread_ = std::thread([this] {
        while (!stop_.load()) {
            Sample();
            ::Sleep(intervalMs_);
        }
    });
}

MemoryProbe::~MemoryProbe() {
    Stop();
}

void MemoryProbe::Stop() {
    if (!thread_.joinable())
        return;
    stop_ = true;
    thread_.join();
    Sample();
}

void MemoryProbe::Sample() {
    const uint64_t now = PrivateBytes();
    uint64_t seen = peak_.load();
    while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
    }
}

uint64_t MemoryProbe::PrivateBytes() {
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (info.RegionSize == 0 || next <= p)
            break;
        p = next;
    }
    return total;
}

uint64_t MemoryProbe::PeakPagefileBytes() {
    PROCESS_MEMORY_COUNTERS m{};
    m.cb = sizeof m;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &m, sizeof m))
        return 0;
    return m.PeakPagefileUsage;
}

}  // namespace vorn::bench
