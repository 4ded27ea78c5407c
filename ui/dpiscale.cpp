#include "ui/dpiscale.h"

#include <algorithm>
#include <cstdint>

namespace TavroLib {
namespace {

constexpr int kMinDpi = 48;
constexpr int kMaxDpi = 960;

// Division that rounds towards minus infinity, for negative positions too.
int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int Clamp(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

DpiScale::DpiScale(int dpi) : m_dpi(dpi >= kMinDpi && dpi <= kMaxDpi ? dpi : kDefaultDpi) {}

int DpiScale::ToDevice(int units) const {
    if (IsUnscaled())
        return units;
    // Nearest pixel, halves away from zero on both sides of the origin.
    const int64_t scaled = static_cast<int64_t>(units) * m_dpi;
    const int64_t half = kDefaultDpi / 2;
    return Clamp(scaled >= 0 ? FloorDiv(scaled + half, kDefaultDpi)
                             : -FloorDiv(-scaled + half, kDefaultDpi));
}

RECT DpiScale::ToDevice(const RECT& rc) const {
    return RECT{ToDevice(rc.left), ToDevice(rc.top), ToDevice(rc.right), ToDevice(rc.bottom)};
}

SIZE DpiScale::ToDevice(const SIZE& sz) const {
    return SIZE{ToDevice(sz.cx), ToDevice(sz.cy)};
}

int DpiScale::ToDeviceWidth(int units) const {
    if (units <= 0)
        return units;
    return std::max(1, ToDevice(units));
}

int DpiScale::ToLogical(int pixels) const {
    if (IsUnscaled())
        return pixels;
    // The plain quotient is at most a unit away from the answer.
    int u = Clamp(FloorDiv(static_cast<int64_t>(pixels) * kDefaultDpi, m_dpi));
    for (int i = 0; i < 3 && u < INT32_MAX && ToDevice(u + 1) <= pixels; ++i)
        ++u;
    for (int i = 0; i < 3 && u > INT32_MIN && ToDevice(u) > pixels; ++i)
        --u;
    return u;
}

POINT DpiScale::ToLogical(const POINT& pt) const {
    return POINT{ToLogical(pt.x), ToLogical(pt.y)};
}

RECT DpiScale::ToLogicalCover(const RECT& rc) const {
    if (IsUnscaled())
        return rc;
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return RECT{};
    return RECT{ToLogical(rc.left), ToLogical(rc.top), ToLogical(rc.right - 1) + 1,
                ToLogical(rc.bottom - 1) + 1};
}

int WindowDpi(HWND window) {
    // Windows 10 1607 and later know a window's own DPI; before that a
    // process sees the system's.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return DpiScale(static_cast<int>(dpi)).Dpi();
    }
    return SystemDpi();
}

int SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr)
        return kDefaultDpi;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return DpiScale(dpi).Dpi();
}

}  // namespace TavroLib
