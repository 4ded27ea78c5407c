#include "ui/renderer.h"

#include "ui/gdiplusapi.h"

#include "ui/imagescaler.h"
#include "ui/paintmanager.h"
#include "ui/resources.h"

namespace TavroLib {
namespace {

Gdiplus::Color ToColor(DWORD argb) {
    return Gdiplus::Color(static_cast<BYTE>(argb >> 24), static_cast<BYTE>(argb >> 16),
                          static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb));
}

bool Empty(const RECT& rc) {
    return rc.right <= rc.left || rc.bottom <= rc.top;
}

void RoundPath(Gdiplus::GraphicsPath& path, Gdiplus::REAL x, Gdiplus::REAL y, Gdiplus::REAL w,
               Gdiplus::REAL h, Gdiplus::REAL cx, Gdiplus::REAL cy) {
    cx = std::min(cx, w);
    cy = std::min(cy, h);
    path.AddArc(x, y, cx, cy, 180, 90);
    path.AddArc(x + w - cx, y, cx, cy, 270, 90);
    path.AddArc(x + w - cx, y + h - cy, cx, cy, 0, 90);
    path.AddArc(x, y + h - cy, cx, cy, 90, 90);
    path.CloseFigure();
}

// The part of rc that may be written straight into the back buffer, after
// GDI+ and GDI have finished what they drew before. GDI+ under Wine reads the
// device back and composes in software, which costs a lot per frame; opaque
// fills and unscaled images need none of that.
bool DirectTarget(PaintContext& ctx, const RECT& rc, RECT& out) {
    if (ctx.bits == nullptr)
        return false;
    const RECT buffer{0, 0, ctx.bitsWidth, ctx.bitsHeight};
    RECT r;
    if (!::IntersectRect(&r, &rc, &ctx.clip) || !::IntersectRect(&out, &r, &buffer))
        return false;
    if (ctx.graphics != nullptr)
        ctx.graphics->Flush(Gdiplus::FlushIntentionSync);
    ::GdiFlush();
    return true;
}

// Corner sizes in pixels; a rounded corner stays rounded.
SIZE DeviceRound(const PaintContext& ctx, SIZE round) {
    if (round.cx <= 0 || round.cy <= 0)
        return round;
    return SIZE{ctx.scale.ToDeviceWidth(round.cx), ctx.scale.ToDeviceWidth(round.cy)};
}

// Pixels (premultiplied) into a rectangle of pixels: copied where the sizes
// agree, stretched by GDI+ otherwise.
void DrawPixelsAt(PaintContext& ctx, const void* pixels, int width, int height, const RECT& dest) {
    if (ctx.graphics == nullptr || pixels == nullptr || width <= 0 || height <= 0 || Empty(dest))
        return;
    RECT direct;
    const bool unscaled = dest.right - dest.left == width && dest.bottom - dest.top == height;
    if (unscaled && ctx.bits != nullptr) {
        // Premultiplied source over the back buffer, row by row.
        if (!DirectTarget(ctx, dest, direct))
            return;
        const auto* src = static_cast<const uint32_t*>(pixels);
        for (LONG y = direct.top; y < direct.bottom; ++y) {
            const uint32_t* s =
                src + static_cast<size_t>(y - dest.top) * width + (direct.left - dest.left);
            uint32_t* d = ctx.bits + static_cast<size_t>(y) * ctx.bitsWidth + direct.left;
            for (LONG x = direct.left; x < direct.right; ++x, ++s, ++d) {
                const uint32_t a = *s >> 24;
                if (a == 0xFF) {
                    *d = *s;
                } else if (a != 0) {
                    const uint32_t k = 255 - a;
                    const uint32_t rb = (((*d & 0x00FF00FF) * k + 0x00800080) >> 8) & 0x00FF00FF;
                    const uint32_t ag = (((*d >> 8) & 0x00FF00FF) * k + 0x00800080) & 0xFF00FF00;
                    *d = *s + rb + ag;
                }
            }
        }
        return;
    }
    // Wraps the pixels without copying them.
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppPARGB,
                           static_cast<BYTE*>(const_cast<void*>(pixels)));
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return;
    const bool same = (dest.right - dest.left == width) && (dest.bottom - dest.top == height);
    ctx.graphics->SetInterpolationMode(same ? Gdiplus::InterpolationModeNearestNeighbor
                                            : Gdiplus::InterpolationModeBilinear);
    ctx.graphics->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::ImageAttributes attrs;
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);  // no dark seams at stretched edges
    ctx.graphics->DrawImage(&bitmap,
                            Gdiplus::Rect(static_cast<INT>(dest.left), static_cast<INT>(dest.top),
                                          static_cast<INT>(dest.right - dest.left),
                                          static_cast<INT>(dest.bottom - dest.top)),
                            0, 0, width, height, Gdiplus::UnitPixel, &attrs);
    ctx.graphics->SetPixelOffsetMode(Gdiplus::PixelOffsetModeDefault);
}

}  // namespace

ClipScope::ClipScope(PaintContext& ctx, const RECT& units) : ctx_(ctx), oldClip_(ctx.clip) {
    const RECT rc = ctx.scale.ToDevice(units);
    if (!::IntersectRect(&ctx_.clip, &oldClip_, &rc))
        ctx_.clip = RECT{};
    if (ctx_.graphics == nullptr)
        return;
    state_ = ctx_.graphics->Save();
    ctx_.graphics->IntersectClip(Gdiplus::Rect(rc.left, rc.top,
                                               std::max<LONG>(0, rc.right - rc.left),
                                               std::max<LONG>(0, rc.bottom - rc.top)));
}

ClipScope::~ClipScope() {
    ctx_.clip = oldClip_;
    if (ctx_.graphics != nullptr)
        ctx_.graphics->Restore(state_);
}

namespace Render {

void FillRect(PaintContext& ctx, const RECT& units, DWORD argb, SIZE round) {
    const RECT rc = ctx.scale.ToDevice(units);
    round = DeviceRound(ctx, round);
    if (ctx.graphics == nullptr || Empty(rc) || (argb >> 24) == 0)
        return;
    RECT direct;
    if ((argb >> 24) == 0xFF && (round.cx <= 0 || round.cy <= 0)) {
        if (DirectTarget(ctx, rc, direct)) {
            for (LONG y = direct.top; y < direct.bottom; ++y) {
                uint32_t* row = ctx.bits + static_cast<size_t>(y) * ctx.bitsWidth;
                std::fill(row + direct.left, row + direct.right, static_cast<uint32_t>(argb));
            }
        }
        return;
    }
    Gdiplus::SolidBrush brush(ToColor(argb));
    const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(rc.right - rc.left);
    const Gdiplus::REAL h = static_cast<Gdiplus::REAL>(rc.bottom - rc.top);
    if (round.cx > 0 && round.cy > 0) {
        Gdiplus::GraphicsPath path;
        RoundPath(path, static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top), w,
                  h, static_cast<Gdiplus::REAL>(round.cx), static_cast<Gdiplus::REAL>(round.cy));
        ctx.graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        ctx.graphics->FillPath(&brush, &path);
        ctx.graphics->SetSmoothingMode(Gdiplus::SmoothingModeNone);
    } else {
        ctx.graphics->FillRectangle(&brush, static_cast<INT>(rc.left), static_cast<INT>(rc.top),
                                    static_cast<INT>(rc.right - rc.left),
                                    static_cast<INT>(rc.bottom - rc.top));
    }
}

void DrawBorder(PaintContext& ctx, const RECT& units, int size, DWORD argb, SIZE round) {
    const RECT rc = ctx.scale.ToDevice(units);
    size = ctx.scale.ToDeviceWidth(size);
    round = DeviceRound(ctx, round);
    if (ctx.graphics == nullptr || Empty(rc) || size <= 0 || (argb >> 24) == 0)
        return;
    Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(size));
    // The pen is centred on the path and pixel centres lie on whole
    // coordinates: a path inset by half the width less half a pixel puts the
    // line on the outermost `size` pixels. Inset by a full half, the right and
    // bottom lines would fall outside the control and the others one pixel in.
    const Gdiplus::REAL inset = (size - 1) / 2.0f;
    const Gdiplus::REAL x = rc.left + inset, y = rc.top + inset;
    const Gdiplus::REAL w = rc.right - rc.left - static_cast<Gdiplus::REAL>(size);
    const Gdiplus::REAL h = rc.bottom - rc.top - static_cast<Gdiplus::REAL>(size);
    if (w <= 0 || h <= 0)
        return;
    if (round.cx > 0 && round.cy > 0) {
        Gdiplus::GraphicsPath path;
        RoundPath(path, x, y, w, h, static_cast<Gdiplus::REAL>(round.cx),
                  static_cast<Gdiplus::REAL>(round.cy));
        ctx.graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        ctx.graphics->DrawPath(&pen, &path);
        ctx.graphics->SetSmoothingMode(Gdiplus::SmoothingModeNone);
    } else {
        // Square: four strips, exactly inside the rectangle.
        Gdiplus::SolidBrush brush(ToColor(argb));
        const INT l = rc.left, t = rc.top, rw = rc.right - rc.left, rh = rc.bottom - rc.top;
        ctx.graphics->FillRectangle(&brush, l, t, rw, size);
        ctx.graphics->FillRectangle(&brush, l, rc.bottom - size, rw, size);
        ctx.graphics->FillRectangle(&brush, l, t, size, rh);
        ctx.graphics->FillRectangle(&brush, rc.right - size, t, size, rh);
    }
}

void DrawPixels(PaintContext& ctx, const void* pixels, int width, int height, const RECT& units,
                ScaledFrame* frame, size_t version) {
    const RECT dest = ctx.scale.ToDevice(units);
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (ctx.scale.IsUnscaled() || (w == width && h == height) || pixels == nullptr || width <= 0 ||
        height <= 0 || w <= 0 || h <= 0) {
        DrawPixelsAt(ctx, pixels, width, height, dest);
        return;
    }
    ScaledFrame local;
    ScaledFrame& f = frame != nullptr ? *frame : local;
    if (f.source != pixels || f.version != version || f.width != w || f.height != h ||
        f.pixels.empty()) {
        f.source = pixels;
        f.version = version;
        f.width = w;
        f.height = h;
        if (!ResamplePixels(static_cast<const uint32_t*>(pixels), width, height, w, h, f.pixels,
                            frame != nullptr ? ResampleFilter::Linear : ResampleFilter::Cubic)) {
            f.source = nullptr;
            DrawPixelsAt(ctx, pixels, width, height, dest);  // no memory: GDI+ stretches it
            return;
        }
    }
    DrawPixelsAt(ctx, f.pixels.data(), w, h, dest);
}

void DrawImage(PaintContext& ctx, const std::shared_ptr<const SkinImage>& image,
               const RECT& units) {
    if (!image || image->pixels.empty())
        return;
    const RECT dest = ctx.scale.ToDevice(units);
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (!ctx.scale.IsUnscaled() && ctx.images != nullptr && w > 0 && h > 0 &&
        (w != image->width || h != image->height)) {
        if (const std::vector<uint32_t>* scaled = ctx.images->Get(image, w, h)) {
            DrawPixelsAt(ctx, scaled->data(), w, h, dest);
            return;
        }
    }
    DrawPixels(ctx, image->pixels.data(), image->width, image->height, units);
}

void DrawText(PaintContext& ctx, const std::wstring& text, const RECT& units, const FontInfo* font,
              DWORD argb, UINT style) {
    const RECT rc = ctx.scale.ToDevice(units);
    if (ctx.graphics == nullptr || text.empty() || Empty(rc) || font == nullptr ||
        font->handle == nullptr)
        return;
    // GDI draws the text: unlike GDI+ (under Wine) it follows font replacement
    // and linking, so Chinese text shows with the layouts' face names.
    HDC hdc = ctx.graphics->GetHDC();
    if (hdc == nullptr)
        return;
    RECT r = rc;
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(
        hdc, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));  // alpha ignored
    HGDIOBJ oldFont = ::SelectObject(hdc, font->handle);
    const UINT keep =
        DT_LEFT | DT_CENTER | DT_RIGHT | DT_TOP | DT_VCENTER | DT_BOTTOM | DT_END_ELLIPSIS;
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &r,
                (style & keep) | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(hdc, oldFont);
    ::SetTextColor(hdc, oldColor);
    ::SetBkMode(hdc, oldMode);
    ctx.graphics->ReleaseHDC(hdc);
}

}  // namespace Render
}  // namespace TavroLib
