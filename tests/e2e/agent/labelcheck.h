// Tells which text a message box of the installer shows: the product's own
// MessageInfoBox renders each expected text before the run, and a box on the
// screen is compared with those renderings pixel by pixel in the label's area.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "driver/gui_driver.h"

namespace e2e {

class LabelReferences {
  public:
    // Shows a MessageInfoBox with text, captures area (client coordinates)
    // and keeps it; also saves it as PNG when pngPath is not empty.
    bool Render(const std::wstring& text, const RECT& area, const std::wstring& pngPath,
                std::wstring& error);
    // Captures area of hwnd's client and compares it with the rendering of
    // text. differing: pixels that are not alike.
    bool Matches(HWND hwnd, const std::wstring& text, const RECT& area, int& differing,
                 std::wstring& error) const;

  private:
    std::map<std::wstring, vorn::gui::Capture> m_refs;
};

}  // namespace e2e
