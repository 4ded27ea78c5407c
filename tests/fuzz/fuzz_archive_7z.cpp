// The 7z extraction driver over any bytes, into a scratch folder: a name
// that could leave the folder never reaches the target, and nothing appears
// outside the output folder.
#include <cstdint>
#include <cstdio>

#include "installer/archiveunpacker.h"
#include "support/memorystream.h"
#include "support/posixtarget.h"
#include "support/scratchfolder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vorn_fuzz::ScratchFolder scratch;
    if (!scratch.Valid())
        __builtin_trap();
    vorn_fuzz::MemoryStream stream(data, size);
    int progressCalls = 0;
    {
        vorn_fuzz::PosixTarget target(scratch.Output());
        const int result = vorn::UnpackArchive(
            stream.Stream(), target,
            [&](int percent) {
                if (percent < 0 || percent > 99)
                    __builtin_trap();
                ++progressCalls;
            },
            nullptr, L"fuzz");
        if (result != EXTRACT_OK && result != EXTRACT_FAILED)
            __builtin_trap();
    }
    if (!scratch.Strays().empty()) {
        for (const auto& s : scratch.Strays())
            std::fprintf(stderr, "written outside the target: %s\n", s.c_str());
        __builtin_trap();
    }
    scratch.Clear();
    return 0;
}
