// Still images (PNG, JPEG, BMP, and the first frame of a GIF) decoded from
// memory through GDI+.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TavroLib {

struct CImageData {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // premultiplied BGRA, top-down, width * height
    bool hasAlpha = false;         // some pixel is not fully opaque
};

// Largest image accepted: each side and the pixel count.
constexpr int kMaxImageSide = 8192;
constexpr int64_t kMaxImagePixels = 32ll * 1024 * 1024;

// False (out emptied) on unknown or damaged data, or on a size beyond the
// bounds above; the size is read from the file's header before anything is
// decoded, so an absurd header costs no memory.
bool DecodeImage(const unsigned char* data, size_t size, CImageData& out);

// Width and height from the header of a PNG, JPEG, BMP or GIF; false if the
// format is not one of these or the header is cut short.
bool PeekImageSize(const unsigned char* data, size_t size, int& width, int& height);

// Starts GDI+ once per process (thread-safe); it is never shut down, since
// images may live until the process ends. False if GDI+ cannot start.
bool EnsureGdiplus();

}  // namespace TavroLib
