#define VORN_LOG_SOURCE L"imagedecoder.cpp"
#include "ui/imagedecoder.h"

#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include <gdiplus.h>

#include "util/logger.h"

namespace TavroLib {
namespace {

uint32_t Be32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t Be16(const unsigned char* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
uint32_t Le16(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t Le32(const unsigned char* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

bool PeekJpeg(const unsigned char* data, size_t size, int& width, int& height) {
    size_t p = 2;
    while (p + 4 <= size) {
        if (data[p] != 0xFF)
            return false;
        const unsigned char marker = data[p + 1];
        if (marker == 0xFF) {  // fill byte
            ++p;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            p += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return false;  // no frame header before the scan
        const size_t length = Be16(data + p + 2);
        if (length < 2)
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || p + 9 > size)
                return false;
            height = static_cast<int>(Be16(data + p + 5));
            width = static_cast<int>(Be16(data + p + 7));
            return true;
        }
        p += 2 + length;
    }
    return false;
}

bool WithinBounds(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// GDI+ reads the bytes through an IStream; the memory stream holds its own copy.
struct ComRelease {
    void operator()(IUnknown* p) const {
        if (p != nullptr)
            p->Release();
    }
};

}  // namespace

bool PeekImageSize(const unsigned char* data, size_t size, int& width, int& height) {
    if (data == nullptr)
        return false;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    int64_t w = -1, h = -1;
    if (size >= 24 && std::memcmp(data, kPng, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        w = Be32(data + 16);
        h = Be32(data + 20);
    } else if (size >= 10 && std::memcmp(data, "GIF8", 4) == 0) {
        w = Le16(data + 6);
        h = Le16(data + 8);
    } else if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const uint32_t header = Le32(data + 14);
        if (header == 12) {
            w = Le16(data + 18);
            h = Le16(data + 20);
        } else if (header >= 40) {
            w = static_cast<int32_t>(Le32(data + 18));
            h = static_cast<int32_t>(Le32(data + 22));
            if (h < 0)
                h = -h;  // top-down bitmap
        } else {
            return false;
        }
    } else if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) {
        int jw = 0, jh = 0;
        if (!PeekJpeg(data, size, jw, jh))
            return false;
        w = jw;
        h = jh;
    } else {
        return false;
    }
    if (w < 0 || h < 0 || w > INT32_MAX || h > INT32_MAX)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool EnsureGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
        if (!started)
            LOG_ERROR(L"GdiplusStartup failed");
    });
    return started;
}

bool DecodeImage(const unsigned char* data, size_t size, CImageData& out) {
    out = CImageData();
    if (data == nullptr || size == 0 || size > UINT_MAX)
        return false;
    int width = 0, height = 0;
    if (!PeekImageSize(data, size, width, height) || !WithinBounds(width, height))
        return false;
    if (!EnsureGdiplus())
        return false;

    std::unique_ptr<IStream, ComRelease> stream(::SHCreateMemStream(data, static_cast<UINT>(size)));
    if (!stream)
        return false;
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream.get(), FALSE));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok)
        return false;
    const UINT w = bitmap->GetWidth(), h = bitmap->GetHeight();
    if (!WithinBounds(w, h))
        return false;

    Gdiplus::Rect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData locked = {};
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &locked) !=
        Gdiplus::Ok) {
        return false;
    }
    std::vector<uint32_t> pixels(size_t(w) * h);
    bool translucent = false;
    const auto* base = static_cast<const unsigned char*>(locked.Scan0);
    for (UINT y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(base + ptrdiff_t(y) * locked.Stride);
        uint32_t* dst = pixels.data() + size_t(y) * w;
        std::memcpy(dst, row, size_t(w) * 4);
        if (!translucent) {
            for (UINT x = 0; x < w; ++x) {
                if ((dst[x] >> 24) != 0xFF) {
                    translucent = true;
                    break;
                }
            }
        }
    }
    bitmap->UnlockBits(&locked);

    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    out.pixels.swap(pixels);
    out.hasAlpha = translucent;
    return true;
}

}  // namespace TavroLib
