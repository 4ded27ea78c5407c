// Input the GUI driver does not offer: drags and key combinations.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Presses the left button at client point (x1, y1), moves to (x2, y2) in
// steps, releases it there.
bool Drag(HWND hwnd, int x1, int y1, int x2, int y2);

// A key, with modifiers joined by '+' and an optional repeat count after '*':
// "ctrl+a", "shift+home", "backspace*20", "alt+f4", "esc", "enter", "tab".
// The window is brought to the front first. False for an unknown name.
bool PressKeys(HWND hwnd, const std::wstring& combination);

}  // namespace e2e
