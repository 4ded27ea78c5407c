// Drives windows the way a person does: real mouse and keyboard input through
// SendInput into whichever process owns the window, and screen captures of
// what is actually shown. Used by vorn-guidriver.exe and by the window tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vorn::gui {

// A top-level window of that class (visible or not), or null.
HWND FindWindowByClass(const std::wstring& className);
// Waits until a top-level window of that class exists and is visible, then a
// moment longer so that its activation has settled; null on time-out.
HWND WaitWindow(const std::wstring& className, DWORD timeoutMs);
// Polls condition every 50 ms; false when it is still unmet after ms.
bool WaitFor(const std::function<bool()>& condition, DWORD ms);
// Waits until the window no longer exists; false on time-out.
bool WaitWindowGone(HWND hwnd, DWORD timeoutMs);

// Brings the window to the front as a person's click on it would, and waits
// for the activation to settle; false when it did not become the foreground.
bool Activate(HWND hwnd);
// Left click at client coordinates: the cursor moves there, then button down and up.
bool Click(HWND hwnd, int x, int y);
// Two left clicks within the double-click time.
bool DoubleClick(HWND hwnd, int x, int y);
// Moves the cursor to client coordinates without clicking.
bool MoveTo(HWND hwnd, int x, int y);
// A key, with modifiers joined by '+' and an optional repeat count after '*':
// "esc", "enter", "alt+f4", "ctrl+a", "shift+home", "backspace*20", "tab";
// letters, digits, the editing and arrow keys, "space", "f4", "ctrl", "shift",
// "alt". Sent after bringing the window to the front; false for an unknown name.
bool Key(HWND hwnd, const std::wstring& combination);
// Presses the left button at client point (x1, y1), moves to (x2, y2) in
// steps, releases it there.
bool Drag(HWND hwnd, int x1, int y1, int x2, int y2);
// Types the text as Unicode key events into the window's focus.
bool TypeText(HWND hwnd, const std::wstring& text);

// The window's text followed by the texts of its child windows, in Z order.
std::vector<std::wstring> WindowTexts(HWND hwnd);

// Pixels as 0x00RRGGBB, row by row from the top.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const;  // 0xFFFFFFFF outside the capture
    bool SavePng(const std::wstring& path) const;
};

// What the screen shows in the rectangle (screen coordinates).
bool CaptureScreenRect(const RECT& rect, Capture& out);
// What the screen shows where the window is: its own pixels, and the desktop
// wherever its region leaves a gap.
bool CaptureWindow(HWND hwnd, Capture& out);
bool CaptureScreen(Capture& out);

// Colour helpers for pixel probes.
inline int Red(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline int Green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline int Blue(uint32_t c) {
    return c & 0xFF;
}
// Each channel within tolerance.
bool ColourNear(uint32_t a, uint32_t b, int tolerance);

// Makes recorder ("Z:\...\vorn-urlrecorder.exe") the program that ShellExecuteW
// starts for http and https addresses in this prefix. Only for fresh prefixes.
bool RegisterUrlRecorder(const std::wstring& recorderPath);
// The lines the recorder appended to the log file (UTF-8, decoded).
std::vector<std::wstring> ReadUrlLog(const std::wstring& path);

}  // namespace vorn::gui
