// Layout units and device pixels. Layouts, controls and the code that moves
// them speak in units of 1/96 inch; the screen, the back buffer, fonts and
// native child windows in pixels of the window's DPI. At 96 DPI the two are
// the same numbers, so nothing drawn there changes.
#pragma once

#include <windows.h>

namespace TavroLib {

constexpr int kDefaultDpi = 96;

class DpiScale {
  public:
    DpiScale() = default;
    // Values outside 48..960 (no display has them) count as 96.
    explicit DpiScale(int dpi);

    int Dpi() const { return m_dpi; }
    bool IsUnscaled() const { return m_dpi == kDefaultDpi; }

    // Layout units to pixels, rounded to the nearest pixel. Rectangles scale
    // their edges, so that neighbours stay neighbours.
    int ToDevice(int units) const;
    RECT ToDevice(const RECT& rc) const;
    SIZE ToDevice(const SIZE& sz) const;
    // Widths of lines: never thinner than one pixel when there is a line.
    int ToDeviceWidth(int units) const;

    // The unit whose pixels hold pixel `x`: the largest u with ToDevice(u) <= x.
    int ToLogical(int pixels) const;
    POINT ToLogical(const POINT& pt) const;
    // The smallest rectangle of units that covers every pixel of rc.
    RECT ToLogicalCover(const RECT& rc) const;

  private:
    int m_dpi = kDefaultDpi;
};

// The DPI a window is drawn at: its monitor's where the system scales per
// monitor, the system's otherwise.
int WindowDpi(HWND window);
// The system's DPI (the primary screen's logical pixels per inch).
int SystemDpi();

}  // namespace TavroLib
