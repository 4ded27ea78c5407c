// Toolkit benchmark (not a test): the check window's layout with its animation
// playing for a while; prints the memory of the process and the share of one
// CPU that drawing the animation takes.
//   window_benchmark [seconds]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

#include "windows/window_host.h"

namespace {

double Seconds(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user))
        return 0;
    return Seconds(kernel) + Seconds(user);
}

// Committed private memory, counted region by region (Wine leaves the
// PrivateUsage counter at 0).
double PrivateMiB() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        if (info.RegionSize == 0)
            break;
    }
    return total / 1048576.0;
}

void PrintMemory(const char* when) {
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m)) {
        std::printf("%s: memory counters unavailable\n", when);
        return;
    }
    std::printf(
        "%s: working set %.1f MiB (peak %.1f MiB), private bytes %.1f MiB "
        "(counter %.1f MiB)\n",
        when, m.WorkingSetSize / 1048576.0, m.PeakWorkingSetSize / 1048576.0, PrivateMiB(),
        m.PrivateUsage / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: window_benchmark [seconds]\n");
        return 2;
    }
    PrintMemory("before the window");
    const DWORD openStart = ::GetTickCount();
    vorn::test::WindowThread window(
        [] { return std::make_unique<vorn::test::LayoutWindow>(L"CheckWndUI", L"CheckWnd.xml"); });
    if (window.Hwnd() == nullptr) {
        std::fprintf(stderr, "the window could not be created\n");
        return 1;
    }
    std::printf("window created in %lu ms\n", ::GetTickCount() - openStart);
    ::Sleep(1000);  // past the first frames and the archive's first reads
    PrintMemory("window open");

    auto* gif = static_cast<TavroLib::CGifAnimUI*>(nullptr);
    window.Window()->GetPaintManager().GetRoot()->ForEach(
        [](TavroLib::CControlUI* c, void* out) {
            if (c->GetTypeName() != L"GifAnimUI")
                return true;
            *static_cast<TavroLib::CGifAnimUI**>(out) = static_cast<TavroLib::CGifAnimUI*>(c);
            return false;
        },
        &gif);
    const size_t frame0 = gif != nullptr ? gif->GetCurrentFrame() : 0;

    const double cpu0 = CpuSeconds();
    const DWORD wall0 = ::GetTickCount();
    // Frames shown: the index sampled often enough to count every wrap.
    size_t frames = 0, last = frame0;
    while (::GetTickCount() - wall0 < static_cast<DWORD>(seconds) * 1000) {
        ::Sleep(10);
        if (gif == nullptr || gif->GetFrameCount() == 0)
            continue;
        const size_t now = gif->GetCurrentFrame();
        frames += (now + gif->GetFrameCount() - last) % gif->GetFrameCount();
        last = now;
    }
    const double cpu = CpuSeconds() - cpu0;
    const double wall = (::GetTickCount() - wall0) / 1000.0;

    PrintMemory("after playing");
    std::printf("animation: %.1f s wall, %.2f s CPU, %.1f %% of one CPU\n", wall, cpu,
                wall > 0 ? 100.0 * cpu / wall : 0.0);
    if (gif != nullptr) {
        std::printf("gif: %zu frames in the file, playing %s, %zu frames shown (%.1f per second)\n",
                    gif->GetFrameCount(), gif->IsPlaying() ? "yes" : "no", frames,
                    wall > 0 ? frames / wall : 0.0);
    }
    window.Window()->Close(IDCLOSE);
    UINT code = 0;
    window.WaitClosed(10000, code);
    return 0;
}
