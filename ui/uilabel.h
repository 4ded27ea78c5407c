// Text control: font, colour, alignment and ellipsis.
#pragma once

#include "ui/uicontrol.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
  public:
    std::wstring GetClass() const override;  // "LabelUI"
    void* GetInterface(const wchar_t* pstrName) override;

    // 0xAARRGGBB; the alpha byte is ignored when drawing. Invalidates.
    void SetTextColor(DWORD argb);
    DWORD GetTextColor() const { return m_dwTextColor; }
    // Font number (order of the Font elements), -1 for the default font.
    void SetFont(int index);
    int GetFont() const { return m_iFont; }
    // DT_ flags: DT_LEFT/DT_CENTER/DT_RIGHT, DT_TOP/DT_VCENTER/DT_BOTTOM, DT_END_ELLIPSIS.
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);

    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

  protected:
    void PaintText(UIPaintContext& ctx) override;

    DWORD m_dwTextColor = 0;
    int m_iFont = -1;
    UINT m_uTextStyle = UI_TEXTSTYLE_DEFAULT;
};

}  // namespace DuiLib
