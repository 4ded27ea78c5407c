// Still images (PNG, JPEG, BMP, and the first frame of a GIF) decoded from
// memory through GDI+.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/imageheader.h"

namespace TavroLib {

struct CImageData {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // premultiplied BGRA, top-down, width * height
    bool hasAlpha = false;         // some pixel is not fully opaque
};

// False (out emptied) on unknown or damaged data, or on a size beyond the
// bounds of ui/imageheader.h; the size is read from the file's header before anything is
// decoded, so an absurd header costs no memory.
bool DecodeImage(const unsigned char* data, size_t size, CImageData& out);

// Starts GDI+ once per process (thread-safe); it is never shut down, since
// images may live until the process ends. False if GDI+ cannot start.
bool EnsureGdiplus();

}  // namespace TavroLib
