// The drop-shadow window that layouts with "showshadow" put behind their
// window. Its class is registered by the application before the first window.
#pragma once

#include <windows.h>

namespace TavroLib {

class CShadowUI {
  public:
    static const wchar_t kClassName[];  // "TavroShadowWnd"

    // Registers the window class the first time it is called in the process;
    // later calls do nothing. True when the class is registered.
    static bool RegisterWindowClass(HINSTANCE instance);
};

}  // namespace TavroLib
