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

#include "util/allocation.h"
#include "util/logger.h"

namespace TavroLib {
namespace {

// GDI+ reads the bytes through an IStream; the memory stream holds its own copy.
struct ComRelease {
    void operator()(IUnknown* p) const {
        if (p != nullptr)
            p->Release();
    }
};

}  // namespace

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
    if (!PeekImageSize(data, size, width, height) || !ImageSizeWithinBounds(width, height))
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
    if (!ImageSizeWithinBounds(w, h))
        return false;

    Gdiplus::Rect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData locked = {};
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &locked) !=
        Gdiplus::Ok) {
        return false;
    }
    std::vector<uint32_t> pixels;
    if (!vorn::TryResize(pixels, size_t(w) * h)) {
        bitmap->UnlockBits(&locked);
        return false;
    }
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
