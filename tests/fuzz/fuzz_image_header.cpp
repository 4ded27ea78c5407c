// The image header reader and the bounds applied before anything is decoded.
#include <cstdint>
#include <vector>

#include "ui/imageheader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that a read past the end is caught.
    const std::vector<unsigned char> bytes(data, data + size);
    int width = -1, height = -1;
    if (!TavroLib::PeekImageSize(bytes.data(), bytes.size(), width, height))
        return 0;
    if (width < 0 || height < 0)
        __builtin_trap();
    if (TavroLib::ImageSizeWithinBounds(width, height) &&
        (width > TavroLib::kMaxImageSide || height > TavroLib::kMaxImageSide ||
         int64_t(width) * height > TavroLib::kMaxImagePixels || width == 0 || height == 0))
        __builtin_trap();
    return 0;
}
