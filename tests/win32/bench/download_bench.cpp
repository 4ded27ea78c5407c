// Benchmark (not a test): the download wrapper as the progress window runs it.
// The real progress window shows the download: its worker calls
// httplib_down_muti, whose reports pass the window's own progress path (gate,
// posted task, bar and counter). Counted per download: the library's progress
// reports, the tasks the window ran, its repaints, how long it took to answer
// a message sent from another thread meanwhile, and the process's peak
// committed private memory.
//   download_bench --url=URL --ca=PEM --target=FILE [--size=BYTES] [--repeat=N] [--plain=1]
// --plain=1 runs the wrapper with a sink that only counts, without the window.
// The CA bundle is copied to the temporary folder as cacert.pem, where the
// wrapper looks first. One line of figures per download.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "bench/memory_probe.h"
#include "bench/response_probe.h"
#include "bench/stopwatch.h"
#include "comm/httplibdownload.h"
#include "installer/httpinstallinfo.h"
#include "installer/processwnd.h"
#include "installer/windowsequence.h"
#include "ui/toolkit.h"

using namespace vorn::bench;

namespace {

class BenchProcessWnd : public CProcessWnd {
  public:
    BenchProcessWnd(std::string host, std::string path, std::wstring target)
        : host_(std::move(host)), path_(std::move(path)), target_(std::move(target)) {}

    std::atomic<int> reports{0}, tasks{0}, paints{0};
    int result = -99;
    double seconds = 0;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_PAINT)
            ++paints;
        else if (uMsg == TavroLib::kTaskMessage)
            ++tasks;
        return CProcessWnd::HandleMessage(uMsg, wParam, lParam);
    }
    void OnDownloadProgress(uint64_t received, uint64_t total) override {
        ++reports;
        CProcessWnd::OnDownloadProgress(received, total);
    }

  protected:
    void InstallWorker() override {
        Stopwatch clock;
        result = vorn::httplib_down_muti(host_, path_, target_, *this);
        seconds = clock.Seconds();
        Close(IDOK);
    }

  private:
    std::string host_, path_;
    std::wstring target_;
};

// The wrapper alone: a sink that only counts, no window.
class CountingSink : public vorn::DownloadSink {
  public:
    void OnDownloadProgress(uint64_t, uint64_t) override { ++reports; }
    void OnDownloadError(const std::wstring&) override {}
    int reports = 0;
};

bool RunPlain(const std::string& host, const std::string& path, const std::wstring& target) {
    MemoryProbe memory;
    CountingSink sink;
    Stopwatch clock;
    const int result = vorn::httplib_down_muti(host, path, target, sink);
    const double seconds = clock.Seconds();
    memory.Stop();
    ::DeleteFileW(target.c_str());
    std::printf("plain result=%d seconds=%.3f reports=%d peak_private_mib=%.2f\n", result, seconds,
                sink.reports, MiB(memory.PeakBytes()));
    std::fflush(stdout);
    return result == vorn::kDownloadDone;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool InstallCaBundle(const std::wstring& pem) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH, temp) == 0)
        return false;
    return ::CopyFileW(pem.c_str(), (std::wstring(temp) + L"cacert.pem").c_str(), FALSE) != 0;
}

// One download shown by a fresh progress window; false when it could not run.
bool RunOnce(const std::string& host, const std::string& path, const std::wstring& target) {
    MemoryProbe memory;
    BenchProcessWnd window(host, path, target);
    if (!window.CreateInstallerWindow()) {
        std::fprintf(stderr, "download_bench: the progress window could not be created\n");
        return false;
    }
    ::ShowWindow(window.GetHandle(), SW_SHOWNORMAL);
    ResponseProbe response(window.GetHandle());
    window.ShowModal();
    response.Stop();
    memory.Stop();

    const std::vector<double>& replies = response.Samples();
    const double replyMax = replies.empty() ? 0 : *std::max_element(replies.begin(), replies.end());
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data);
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const uint32_t crc = vorn::FileCrc32(target);
    ::DeleteFileW(target.c_str());
    std::printf(
        "download result=%d seconds=%.3f bytes=%llu crc=%08x reports=%d posts=%d paints=%d "
        "replies=%zu reply_median_ms=%.2f reply_max_ms=%.2f unanswered=%d "
        "baseline_private_mib=%.2f peak_private_mib=%.2f peak_pagefile_mib=%.2f\n",
        window.result, window.seconds, bytes, crc, window.reports.load(), window.tasks.load(),
        window.paints.load(), replies.size(), Median(replies), replyMax, response.Unanswered(),
        MiB(memory.BaselineBytes()), MiB(memory.PeakBytes()),
        MiB(MemoryProbe::PeakPagefileBytes()));
    std::fflush(stdout);
    return window.result == vorn::kDownloadDone;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string url = Arg(argc, argv, "--url");
    const std::wstring ca = WideArg(argc, argv, "--ca");
    const std::wstring target = WideArg(argc, argv, "--target");
    const long long size = NumberArg(argc, argv, "--size", 0);
    const long long repeat = NumberArg(argc, argv, "--repeat", 1);
    std::string host, path;
    if (!vorn::SplitUrl(url, host, path) || target.empty() || repeat < 1) {
        std::fprintf(stderr,
                     "usage: download_bench --url=URL --ca=PEM --target=FILE [--size=BYTES] "
                     "[--repeat=N]\n");
        return 2;
    }
    if (!ca.empty() && !InstallCaBundle(ca)) {
        std::fprintf(stderr, "download_bench: cannot copy the CA bundle\n");
        return 1;
    }
    SetUpToolkit(::GetModuleHandleW(nullptr));
    // The window's megabyte total, as the check would have stored it.
    HttpInstallInfo::Instance()->apkSize = size;
    const bool plain = Arg(argc, argv, "--plain") == "1";
    for (long long i = 0; i < repeat; ++i) {
        if (!(plain ? RunPlain(host, path, target) : RunOnce(host, path, target)))
            return 1;
    }
    return 0;
}
