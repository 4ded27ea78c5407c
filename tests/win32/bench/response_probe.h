// How long a window takes to answer a message while it is busy elsewhere: a
// thread sends WM_NULL with SendMessageTimeout at a fixed pace and keeps the
// round-trip times.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vorn::bench {

class ResponseProbe {
  public:
    ResponseProbe(HWND window, DWORD intervalMs = 20);
    ~ResponseProbe();  // stops probing
    ResponseProbe(const ResponseProbe&) = delete;
    ResponseProbe& operator=(const ResponseProbe&) = delete;

    void Stop();
    // Round trips in milliseconds, in the order measured; read after Stop.
    const std::vector<double>& Samples() const { return samples_; }
    // Messages that got no answer within the probe's limit (1 s).
    int Unanswered() const { return unanswered_; }

  private:
    HWND window_;
    DWORD intervalMs_;
    std::vector<double> samples_;
    int unanswered_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace vorn::bench
