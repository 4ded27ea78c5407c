#include "bench/response_probe.h"

#include "bench/stopwatch.h"

namespace vorn::bench {

namespace {
constexpr UINT kLimitMs = 1000;
}

ResponseProbe::ResponseProbe(HWND window, DWORD intervalMs)
    : window_(window), intervalMs_(intervalMs) {
    thread_ = std::thread([this] {
        while (!stop_.load() && ::IsWindow(window_)) {
            Stopwatch clock;
            DWORD_PTR result = 0;
            const LRESULT ok =
                ::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, kLimitMs, &result);
            const double ms = clock.Seconds() * 1000.0;
            if (ok != 0)
                samples_.push_back(ms);
            else if (::IsWindow(window_))
                ++unanswered_;
            ::Sleep(intervalMs_);
        }
    });
}

ResponseProbe::~ResponseProbe() {
    Stop();
}

void ResponseProbe::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

}  // namespace vorn::bench
