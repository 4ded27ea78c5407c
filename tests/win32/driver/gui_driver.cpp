#include "driver/gui_driver.h"

#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cwctype>
#include <fstream>
#include <iterator>
#include <vector>

#include "util/string_util.h"
#include "util/win_handle.h"

namespace vorn::gui {
namespace {

// Short pauses between input events, so the target's message loop sees each one
// as a person's separate action.
constexpr DWORD kInputPause = 60;
constexpr DWORD kSettlePause = 700;

struct ScreenDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::ReleaseDC(nullptr, h); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.dx = dx;
    in.mi.dy = dy;
    ::SendInput(1, &in, sizeof in);
}

void SendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (vk) {
        case VK_HOME:
        case VK_END:
        case VK_DELETE:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
            break;
    }
    ::SendInput(1, &in, sizeof in);
}

bool VirtualKey(const std::wstring& name, WORD& vk) {
    static const struct {
        const wchar_t* name;
        WORD vk;
    } kKeys[] = {
        {L"esc", VK_ESCAPE},  {L"escape", VK_ESCAPE}, {L"enter", VK_RETURN},
        {L"return", VK_RETURN}, {L"tab", VK_TAB},     {L"home", VK_HOME},
        {L"end", VK_END},     {L"delete", VK_DELETE}, {L"backspace", VK_BACK},
        {L"left", VK_LEFT},   {L"right", VK_RIGHT},   {L"up", VK_UP},
        {L"down", VK_DOWN},   {L"space", VK_SPACE},   {L"f4", VK_F4},
        {L"ctrl", VK_CONTROL}, {L"shift", VK_SHIFT},  {L"alt", VK_MENU},
    };
    for (const auto& k : kKeys) {
        if (name == k.name) {
            vk = k.vk;
            return true;
        }
    }
    if (name.size() == 1 &&
        ((name[0] >= L'a' && name[0] <= L'z') || (name[0] >= L'0' && name[0] <= L'9'))) {
        vk = static_cast<WORD>(towupper(name[0]));
        return true;
    }
    return false;
}

bool ToScreen(HWND hwnd, int x, int y, POINT& p) {
    if (!::IsWindow(hwnd))
        return false;
    p = POINT{x, y};
    return ::ClientToScreen(hwnd, &p) != FALSE;
}

bool PlaceCursor(const POINT& p) {
    ::SetCursorPos(p.x, p.y);
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    if (w > 1 && h > 1) {
        // An absolute move through the input queue, so the window gets its
        // WM_MOUSEMOVE (hover state) like from a real mouse.
        SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, MulDiv(p.x, 65535, w - 1),
                  MulDiv(p.y, 65535, h - 1));
    }
    ::Sleep(kInputPause);
    POINT now{};
    ::GetCursorPos(&now);
    if (now.x != p.x || now.y != p.y) {
        ::SetCursorPos(p.x, p.y);
        ::Sleep(kInputPause);
        ::GetCursorPos(&now);
    }
    return now.x == p.x && now.y == p.y;
}

bool BringToFront(HWND hwnd) {
    if (!::IsWindow(hwnd))
        return false;
    if (::GetForegroundWindow() == hwnd)
        return true;
    for (int i = 0; i < 20 && ::GetForegroundWindow() != hwnd; ++i) {
        ::SetForegroundWindow(hwnd);
        ::Sleep(50);
    }
    // Under X11, Wine resynchronises its key state with the X server when the
    // focus events of an activation arrive; a modifier sent before them (the
    // Alt of Alt+F4) would be released again. Let them arrive first.
    ::Sleep(kSettlePause);
    return ::GetForegroundWindow() == hwnd;
}

bool PngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType != nullptr && std::wstring(codecs[i].MimeType) == L"image/png") {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SetRegistryDefault(const std::wstring& key, const std::wstring& value) {
    UniqueRegKey k;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          k.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(k.Get(), nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), size) == ERROR_SUCCESS;
}

std::wstring TextOf(HWND h) {
    const int n = ::GetWindowTextLengthW(h);
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(h, t.data(), n + 1);
    t.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return t;
}

BOOL CALLBACK CollectText(HWND child, LPARAM lp) {
    reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(TextOf(child));
    return TRUE;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > ms)
            return false;
        ::Sleep(50);
    }
    return true;
}

HWND FindWindowByClass(const std::wstring& className) {
    return ::FindWindowW(className.c_str(), nullptr);
}

HWND WaitWindow(const std::wstring& className, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        HWND hwnd = FindWindowByClass(className);
        if (hwnd != nullptr && ::IsWindowVisible(hwnd)) {
            // A new window's X focus events come a little later and reset
            // Wine's modifier state; wait for them as a person would look first.
            ::Sleep(kSettlePause);
            return hwnd;
        }
        if (::GetTickCount() - start >= timeoutMs)
            return nullptr;
        ::Sleep(50);
    }
}

bool WaitWindowGone(HWND hwnd, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(hwnd)) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(50);
    }
    return true;
}

bool MoveTo(HWND hwnd, int x, int y) {
    POINT p;
    return ToScreen(hwnd, x, y, p) && PlaceCursor(p);
}

bool Click(HWND hwnd, int x, int y) {
    POINT p;
    if (!ToScreen(hwnd, x, y, p) || !PlaceCursor(p))
        return false;
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    ::Sleep(kInputPause);
    SendMouse(MOUSEEVENTF_LEFTUP);
    ::Sleep(kInputPause);
    return true;
}

bool Activate(HWND hwnd) {
    return BringToFront(hwnd);
}

bool DoubleClick(HWND hwnd, int x, int y) {
    POINT p;
    if (!ToScreen(hwnd, x, y, p) || !PlaceCursor(p))
        return false;
    for (int i = 0; i < 2; ++i) {
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        ::Sleep(kInputPause);
        SendMouse(MOUSEEVENTF_LEFTUP);
        ::Sleep(kInputPause);
    }
    return true;
}

bool Drag(HWND hwnd, int x1, int y1, int x2, int y2) {
    POINT from, to;
    if (!ToScreen(hwnd, x1, y1, from) || !ToScreen(hwnd, x2, y2, to) || !PlaceCursor(from))
        return false;
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    ::Sleep(kInputPause * 2);
    // In steps, as a hand moves: the window follows each WM_MOUSEMOVE.
    constexpr int kSteps = 12;
    for (int i = 1; i <= kSteps; ++i) {
        PlaceCursor(POINT{from.x + (to.x - from.x) * i / kSteps,
                          from.y + (to.y - from.y) * i / kSteps});
    }
    ::Sleep(kInputPause * 2);
    SendMouse(MOUSEEVENTF_LEFTUP);
    ::Sleep(kInputPause * 2);
    return true;
}

bool Key(HWND hwnd, const std::wstring& combination) {
    std::wstring keysText = combination;
    int repeat = 1;
    const size_t star = keysText.find(L'*');
    if (star != std::wstring::npos) {
        repeat = _wtoi(keysText.substr(star + 1).c_str());
        keysText = keysText.substr(0, star);
    }
    std::vector<std::wstring> names;
    SplitString(keysText, L"+", names);
    std::vector<WORD> keys;
    for (const auto& n : names) {
        WORD vk = 0;
        if (!VirtualKey(n, vk))
            return false;
        keys.push_back(vk);
    }
    if (keys.empty() || repeat < 1 || !BringToFront(hwnd))
        return false;
    for (int r = 0; r < repeat; ++r) {
        for (WORD vk : keys) {
            SendKey(vk, false);
            ::Sleep(kInputPause);
        }
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
            SendKey(*it, true);
            ::Sleep(kInputPause);
        }
    }
    return true;
}

bool TypeText(HWND hwnd, const std::wstring& text) {
    if (!BringToFront(hwnd))
        return false;
    for (wchar_t c : text) {
        INPUT in[2] = {};
        for (int i = 0; i < 2; ++i) {
            in[i].type = INPUT_KEYBOARD;
            in[i].ki.wScan = static_cast<WORD>(c);
            in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
        }
        ::SendInput(2, in, sizeof(INPUT));
        ::Sleep(20);
    }
    ::Sleep(kInputPause);
    return true;
}

std::vector<std::wstring> WindowTexts(HWND hwnd) {
    std::vector<std::wstring> texts;
    if (!::IsWindow(hwnd))
        return texts;
    texts.push_back(TextOf(hwnd));
    ::EnumChildWindows(hwnd, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

uint32_t Capture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0xFFFFFFFFu;
    return pixels[static_cast<size_t>(y) * width + x];
}

bool Capture::SavePng(const std::wstring& path) const {
    if (width <= 0 || height <= 0)
        return false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool ok = false;
    {
        std::vector<uint32_t> copy = pixels;
        Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppRGB,
                               reinterpret_cast<BYTE*>(copy.data()));
        CLSID png;
        ok = PngEncoder(png) && bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return ok;
}

bool CaptureScreenRect(const RECT& rect, Capture& out) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return false;
    ScopedHandle<ScreenDcTraits> screen(::GetDC(nullptr));
    if (!screen)
        return false;
    ScopedHandle<MemoryDcTraits> memory(::CreateCompatibleDC(screen.Get()));
    if (!memory)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedHandle<GdiObjectTraits> bitmap(
        ::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return false;
    HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
    const BOOL copied =
        ::BitBlt(memory.Get(), 0, 0, w, h, screen.Get(), rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    ::SelectObject(memory.Get(), old);
    if (!copied)
        return false;
    out.width = w;
    out.height = h;
    const auto* src = static_cast<const uint32_t*>(bits);
    out.pixels.assign(src, src + static_cast<size_t>(w) * h);
    for (auto& p : out.pixels)
        p &= 0x00FFFFFFu;
    return true;
}

bool CaptureWindow(HWND hwnd, Capture& out) {
    RECT r;
    if (!::IsWindow(hwnd) || !::GetWindowRect(hwnd, &r))
        return false;
    return CaptureScreenRect(r, out);
}

bool CaptureScreen(Capture& out) {
    const RECT r{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return CaptureScreenRect(r, out);
}

bool ColourNear(uint32_t a, uint32_t b, int tolerance) {
    return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
           std::abs(Blue(a) - Blue(b)) <= tolerance;
}

bool RegisterUrlRecorder(const std::wstring& recorderPath) {
    const std::wstring command = L"\"" + recorderPath + L"\" \"%1\"";
    bool ok = true;
    for (const wchar_t* scheme : {L"http", L"https"}) {
        ok = SetRegistryDefault(std::wstring(scheme) + L"\\shell\\open\\command", command) && ok;
    }
    return ok;
}

std::vector<std::wstring> ReadUrlLog(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in)
        return lines;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Utf8ToWide(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace vorn::gui
