// Drawing helpers over GDI+ on the paint manager's back buffer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Gdiplus {
class Graphics;
}

namespace DuiLib {

class CPaintManagerUI;
struct UIFontInfo;
struct UIImage;

struct UIPaintContext {
    HDC hdc = nullptr;
    Gdiplus::Graphics* graphics = nullptr;
    CPaintManagerUI* manager = nullptr;
    RECT rcPaint{};
    // The back buffer's pixels (top-down BGRA) when they may be written
    // directly, and the clip rectangle in force; CClipScope keeps it.
    uint32_t* bits = nullptr;
    int bitsWidth = 0;
    int bitsHeight = 0;
    RECT clip{};
};

// Restricts drawing to rc (intersected with what is allowed already) for its lifetime.
class CClipScope {
  public:
    CClipScope(UIPaintContext& ctx, const RECT& rc);
    ~CClipScope();
    CClipScope(const CClipScope&) = delete;
    CClipScope& operator=(const CClipScope&) = delete;

  private:
    UIPaintContext& ctx_;
    unsigned state_ = 0;
    RECT oldClip_{};
};

namespace Render {

// Solid fill; a rounded rectangle when round has a non-zero side.
void FillRect(UIPaintContext& ctx, const RECT& rc, DWORD argb, SIZE round);
void DrawBorder(UIPaintContext& ctx, const RECT& rc, int size, DWORD argb, SIZE round);
// The whole image stretched into dest.
void DrawImage(UIPaintContext& ctx, const UIImage& image, const RECT& dest);
void DrawPixels(UIPaintContext& ctx, const void* pixels, int width, int height, const RECT& dest);
// Single-line text with the DT_ alignment flags of style; alpha of argb ignored.
void DrawText(UIPaintContext& ctx, const std::wstring& text, const RECT& rc, const UIFontInfo* font,
              DWORD argb, UINT style);

}  // namespace Render
}  // namespace DuiLib
