// A plain window of a known colour, for the screenshot helper's own test.
#include <windows.h>

namespace {
const COLORREF kColour = RGB(0x20, 0x80, 0xC0);

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            HBRUSH brush = ::CreateSolidBrush(kColour);
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            ::FillRect(dc, &rc, brush);
            ::DeleteObject(brush);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_TIMER:
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"VornHarnessWindow";
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"VornHarness", WS_POPUP | WS_VISIBLE, 100,
                                  100, 300, 200, nullptr, nullptr, instance, nullptr);
    ::SetTimer(hwnd, 1, 30000, nullptr);  // ends by itself
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
