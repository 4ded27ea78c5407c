// The GIF decoder: the frame index, every frame in order, a jump back and a
// jump ahead, with the canvas never larger than the screen.
#include <cstdint>
#include <vector>

#include "ui/gifdecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TavroLib::CGifDecoder gif;
    if (!gif.Open(std::vector<unsigned char>(data, data + size)))
        return 0;
    if (gif.Width() <= 0 || gif.Height() <= 0 || gif.FrameCount() == 0 ||
        gif.FrameCount() > TavroLib::CGifDecoder::kMaxFrames || gif.Canvas() == nullptr)
        __builtin_trap();
    const size_t frames = gif.FrameCount() < 64 ? gif.FrameCount() : 64;
    for (size_t i = 0; i < frames; ++i) {
        gif.DecodeFrame(i);
        if (gif.CurrentFrame() != i)
            __builtin_trap();
    }
    gif.DecodeFrame(frames / 2);
    gif.DecodeFrame(frames - 1);
    if (gif.DecodeFrame(gif.FrameCount()))
        __builtin_trap();
    gif.FrameDelayMs(0);
    const size_t canvas = size_t(gif.Width()) * gif.Height() * 4;
    if (gif.MemoryBytes() > size + 2 * canvas + (1 << 20) + gif.FrameCount() * 64)
        __builtin_trap();
    return 0;
}
