// Benchmark (not a test): FileCrc32 against zlib's crc32 over the same file,
// read with ReadFile in 1 MiB blocks, both in this build. The file is read once
// first so that both find it in the cache; the order alternates.
//   crc_bench --file=FILE [--repeat=N]
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_args.h"
#include "bench/stopwatch.h"
#include "comm/httplibdownload.h"
#include "util/win_handle.h"

using namespace vorn::bench;

namespace {

constexpr DWORD kBlock = 1u << 20;

// zlib's crc32 over the whole file; bytes receives its length.
bool ZlibFileCrc(const std::wstring& path, uint32_t& crc, unsigned long long& bytes) {
    vorn::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    std::vector<unsigned char> buffer(kBlock);
    uLong value = ::crc32(0L, Z_NULL, 0);
    bytes = 0;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer.data(), kBlock, &n, nullptr))
            return false;
        if (n == 0)
            break;
        value = ::crc32(value, buffer.data(), n);
        bytes += n;
    }
    crc = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::wstring path = WideArg(argc, argv, "--file");
    const long long repeat = NumberArg(argc, argv, "--repeat", 1);
    if (path.empty() || repeat < 1) {
        std::fprintf(stderr, "usage: crc_bench --file=FILE [--repeat=N]\n");
        return 2;
    }
    uint32_t reference = 0;
    unsigned long long bytes = 0;
    if (!ZlibFileCrc(path, reference, bytes)) {
        std::fprintf(stderr, "crc_bench: cannot read the file (error %lu)\n", ::GetLastError());
        return 1;
    }
    // Each run is the best of three turns of each, which keeps short load
    // spikes of a busy machine out of the figures.
    for (long long i = 0; i < repeat; ++i) {
        double ours = 1e9, zlib = 1e9;
        uint32_t a = 0, b = 0;
        for (int turn = 0; turn < 6; ++turn) {
            Stopwatch clock;
            if ((turn + i) % 2 == 0) {
                a = vorn::FileCrc32(path);
                ours = std::min(ours, clock.Seconds());
            } else {
                ZlibFileCrc(path, b, bytes);
                zlib = std::min(zlib, clock.Seconds());
            }
        }
        std::printf("crc bytes=%llu filecrc32_s=%.4f zlib_s=%.4f crc=%08x match=%d\n", bytes, ours,
                    zlib, a, a == b && b == reference ? 1 : 0);
        std::fflush(stdout);
    }
    return 0;
}
