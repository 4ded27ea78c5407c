// Decode time per frame and memory held for an animated GIF (movie.gif by
// default), with GDI+'s own frame selection alongside for comparison.
//   gif_bench [path-to-gif] [rounds] [skin.zip]
// With a skin archive it also times opening it from memory and reading movie.gif from it.
#include <windows.h>
#include <objidl.h>
#include <psapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gdiplus.h>

#include "fixtures.h"
#include "ui/gifdecoder.h"
#include "ui/imagedecoder.h"
#include "ui/zipresource.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Commit charge; Wine leaves PrivateUsage at 0.
size_t CommittedBytes() {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof c;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c);
    return c.PagefileUsage;
}

double Mib(size_t bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring path = argc > 1 ? argv[1] : L"movie.gif";
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    const vorn::test::Bytes bytes = vorn::test::ReadFileBytes(path);
    if (bytes.empty()) {
        std::fwprintf(stderr, L"cannot read %ls\n", path.c_str());
        return 1;
    }
    const size_t before = CommittedBytes();
    TavroLib::CGifDecoder gif;
    double t0 = NowMs();
    if (!gif.Open(bytes)) {
        std::fwprintf(stderr, L"not a readable GIF\n");
        return 1;
    }
    const double openMs = NowMs() - t0;
    std::printf("file: %zu bytes, %dx%d, %zu frames\n", bytes.size(), gif.Width(), gif.Height(),
                gif.FrameCount());
    std::printf("Open (index only): %.3f ms\n", openMs);

    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < gif.FrameCount(); ++i) {
            t0 = NowMs();
            gif.DecodeFrame(i);
            times.push_back(NowMs() - t0);
        }
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    std::printf("DecodeFrame over %d rounds: mean %.3f ms, median %.3f ms, max %.3f ms per frame\n",
                rounds, sum / times.size(), sorted[sorted.size() / 2], sorted.back());
    std::printf(
        "memory held by the decoder: %zu bytes (%.2f MiB; file %.2f MiB + canvas %.2f MiB)\n",
        gif.MemoryBytes(), Mib(gif.MemoryBytes()), Mib(bytes.size()),
        Mib(size_t(gif.Width()) * gif.Height() * 4));
    std::printf(
        "process commit grew by %.2f MiB over Open and all frames (the decoder's copy of the file "
        "and its canvas)\n",
        Mib(CommittedBytes() - before));

    // For comparison: GDI+ composing the same frames.
    if (TavroLib::EnsureGdiplus()) {
        IStream* stream = ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
        const size_t gdipBefore = CommittedBytes();
        std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
        if (bitmap && bitmap->GetLastStatus() == Gdiplus::Ok) {
            const UINT frames = bitmap->GetFrameCount(&Gdiplus::FrameDimensionTime);
            t0 = NowMs();
            for (UINT i = 0; i < frames; ++i) {
                bitmap->SelectActiveFrame(&Gdiplus::FrameDimensionTime, i);
            }
            std::printf("GDI+ SelectActiveFrame: mean %.3f ms per frame, commit +%.2f MiB\n",
                        (NowMs() - t0) / std::max(1u, frames), Mib(CommittedBytes() - gdipBefore));
        }
        bitmap.reset();
        if (stream != nullptr)
            stream->Release();
    }
    if (argc > 3) {
        const vorn::test::Bytes zipBytes = vorn::test::ReadFileBytes(argv[3]);
        TavroLib::CZipResource zip;
        t0 = NowMs();
        const bool opened = zip.OpenMemory(L"membuffer", zipBytes.data(), zipBytes.size());
        const double zipOpenMs = NowMs() - t0;
        std::vector<unsigned char> entry;
        t0 = NowMs();
        const bool read = opened && zip.ReadEntry(L"movie.gif", entry);
        const double readMs = NowMs() - t0;
        std::printf("skin archive %zu bytes: OpenMemory %.3f ms, ReadEntry(movie.gif) %s %.3f ms\n",
                    zipBytes.size(), zipOpenMs, read ? "ok" : "FAILED", readMs);
    }
    return 0;
}
