// Check box: toggled by a click, raises "selectchanged".
#pragma once

#include "ui/uibutton.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
  public:
    std::wstring GetClass() const override;  // "OptionUI"
    void* GetInterface(const wchar_t* pstrName) override;

    bool IsSelected() const { return m_bSelected; }
    // Raises "selectchanged" when the state changes and notify is set.
    void Selected(bool bSelected, bool bNotify = true);

    bool Activate() override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

  protected:
    void PaintStatusImage(UIPaintContext& ctx) override;

    std::wstring m_sSelectedImage;
    bool m_bSelected = false;
};

}  // namespace DuiLib
