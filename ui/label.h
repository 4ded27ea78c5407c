// Text control: font, colour, alignment and ellipsis.
#pragma once

#include "ui/control.h"

namespace TavroLib {

class CLabelUI : public CControlUI {
  public:
    std::wstring GetTypeName() const override;
    LONG GetAccessibleRole() const override;    // static text
    DWORD GetAccessibleState() const override;  // "LabelUI"

    // 0xAARRGGBB; the alpha byte is ignored when drawing. Invalidates.
    void SetTextColor(DWORD argb);
    DWORD GetTextColor() const { return m_textColor; }
    // Font number (order of the Font elements), -1 for the default font.
    void SetFont(int index);
    int GetFont() const { return m_font; }
    // DT_ flags: DT_LEFT/DT_CENTER/DT_RIGHT, DT_TOP/DT_VCENTER/DT_BOTTOM, DT_END_ELLIPSIS.
    UINT GetTextStyle() const { return m_textStyle; }
    void SetTextStyle(UINT style);

    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;

  protected:
    void PaintText(PaintContext& ctx) override;

    DWORD m_textColor = 0;
    int m_font = -1;
    UINT m_textStyle = kDefaultTextStyle;
};

}  // namespace TavroLib
