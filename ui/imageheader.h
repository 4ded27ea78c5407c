// Reading an image's size from its header, before anything is decoded, and
// the bounds that decoded images must keep.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TavroLib {

// Largest image accepted: each side and the pixel count.
constexpr int kMaxImageSide = 8192;
constexpr int64_t kMaxImagePixels = 32ll * 1024 * 1024;

bool ImageSizeWithinBounds(int64_t width, int64_t height);

// Width and height from the header of a PNG, JPEG, BMP or GIF; false if the
// format is not one of these or the header is cut short.
bool PeekImageSize(const unsigned char* data, size_t size, int& width, int& height);

}  // namespace TavroLib
