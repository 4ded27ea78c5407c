// Benchmark (not a test): ExtractArchive on a package into an empty folder,
// with the time taken, the process's committed private memory before and at
// its peak, and the decoder's own peak as its allocator counted it.
//   extract_bench --archive=FILE --out=FOLDER [--repeat=N]
// The folder is emptied before each run and afterwards.
#include <windows.h>

#include <cstdio>

#include "bench/bench_args.h"
#include "bench/memory_probe.h"
#include "bench/stopwatch.h"
#include "installer/archiveextractor.h"
#include "util/path_util.h"

using namespace vorn::bench;

namespace {

// Deletes what lies below folder; read-only files too.
void EmptyFolder(const std::wstring& folder) {
    vorn::WalkTree(folder.c_str(), [](const std::wstring& path, bool isFolder) {
        if (isFolder) {
            ::RemoveDirectoryW(path.c_str());
        } else {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
        return true;
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::wstring archive = WideArg(argc, argv, "--archive");
    const std::wstring out = WideArg(argc, argv, "--out");
    const long long repeat = NumberArg(argc, argv, "--repeat", 1);
    if (archive.empty() || out.empty() || repeat < 1) {
        std::fprintf(stderr, "usage: extract_bench --archive=FILE --out=FOLDER [--repeat=N]\n");
        return 2;
    }
    vorn::MakeDirectories(out);
    for (long long i = 0; i < repeat; ++i) {
        EmptyFolder(out);
        int entries = 0;
        ExtractStats stats;
        MemoryProbe memory(10);
        Stopwatch clock;
        const int result = ExtractArchive(
            archive, out, [&entries](int) { ++entries; }, &stats);
        const double seconds = clock.Seconds();
        memory.Stop();
        std::printf(
            "extract result=%d seconds=%.3f entries=%d baseline_private_mib=%.2f "
            "peak_private_mib=%.2f decoder_peak_mib=%.2f largest_block_mib=%.2f\n",
            result, seconds, entries, MiB(memory.BaselineBytes()), MiB(memory.PeakBytes()),
            MiB(stats.peakDecoderBytes), MiB(stats.largestBlockBytes));
        std::fflush(stdout);
        if (result != EXTRACT_OK)
            return 1;
    }
    EmptyFolder(out);
    return 0;
}
