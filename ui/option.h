// Check box: toggled by a click, raises "selectchanged".
#pragma once

#include "ui/button.h"

namespace TavroLib {

class COptionUI : public CButtonUI {
  public:
    std::wstring GetTypeName() const override;  // "OptionUI"

    bool IsSelected() const { return m_selected; }
    LONG GetAccessibleRole() const override;  // a check box
    DWORD GetAccessibleState() const override;
    const wchar_t* GetAccessibleAction() const override;
    // Raises "selectchanged" when the state changes and notify is set.
    void SetSelected(bool selected, bool notify = true);

    bool Activate() override;
    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;

  protected:
    void PaintStateImage(PaintContext& ctx) override;

    std::wstring m_selectedImage;
    bool m_selected = false;
};

}  // namespace TavroLib
