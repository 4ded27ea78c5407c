// Drawing helpers over GDI+ on the paint manager's back buffer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/dpiscale.h"

namespace Gdiplus {
class Graphics;
}

namespace TavroLib {

class CPaintManagerUI;
class ScaledImageCache;
struct FontInfo;
struct SkinImage;

// Rectangles given to the drawing helpers are in layout units; the context
// turns them into pixels of the back buffer.

struct PaintContext {
    HDC hdc = nullptr;
    Gdiplus::Graphics* graphics = nullptr;
    CPaintManagerUI* manager = nullptr;
    RECT rcPaint{};
    // The back buffer's pixels (top-down BGRA) when they may be written
    // directly, and the clip rectangle in force; ClipScope keeps it.
    uint32_t* bits = nullptr;
    int bitsWidth = 0;
    int bitsHeight = 0;
    RECT clip{};  // pixels
    DpiScale scale;
    ScaledImageCache* images = nullptr;  // scaled copies of skin images, if kept
};

// A picture that changes (an animation's frame) scaled once per change.
struct ScaledFrame {
    const void* source = nullptr;
    size_t version = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Restricts drawing to rc (intersected with what is allowed already) for its lifetime.
class ClipScope {
  public:
    ClipScope(PaintContext& ctx, const RECT& rc);
    ~ClipScope();
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

  private:
    PaintContext& ctx_;
    unsigned state_ = 0;
    RECT oldClip_{};
};

namespace Render {

// Solid fill; a rounded rectangle when round has a non-zero side.
void FillRect(PaintContext& ctx, const RECT& rc, DWORD argb, SIZE round);
void DrawBorder(PaintContext& ctx, const RECT& rc, int size, DWORD argb, SIZE round);
// The whole image stretched into dest.
void DrawImage(PaintContext& ctx, const std::shared_ptr<const SkinImage>& image, const RECT& dest);
// Pixels stretched into dest. Where the window is scaled, the pixels of an
// animation (frame given) are scaled with the linear filter, fast enough for
// every frame, and frame keeps them for later paints of this version; other
// pixels with the cubic.
void DrawPixels(PaintContext& ctx, const void* pixels, int width, int height, const RECT& dest,
                ScaledFrame* frame = nullptr, size_t version = 0);
// Single-line text with the DT_ alignment flags of style, in the font's pixel
// size (the window's); alpha of argb ignored.
void DrawText(PaintContext& ctx, const std::wstring& text, const RECT& rc, const FontInfo* font,
              DWORD argb, UINT style);

}  // namespace Render
}  // namespace TavroLib
