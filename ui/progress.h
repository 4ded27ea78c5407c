// Horizontal progress bar.
#pragma once

#include "ui/label.h"

namespace TavroLib {

class CProgressUI : public CLabelUI {
  public:
    std::wstring GetTypeName() const override;  // "ProgressUI"

    int GetMinValue() const { return m_min; }
    int GetMaxValue() const { return m_max; }
    int GetValue() const { return m_value; }
    LONG GetAccessibleRole() const override;
    std::wstring GetAccessibleValue() const override;  // "42%"
    void SetMinValue(int n);
    void SetMaxValue(int n);
    // Sets n only when it differs and lies within min..max, then repaints.
    void SetValue(int n);
    const std::wstring& GetForeImage() const { return m_foreImage; }
    void SetForeImage(const wchar_t* image);
    // The part of the bar the fill covers, in client coordinates.
    RECT GetFillRect() const;

    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;

  protected:
    void PaintStateImage(PaintContext& ctx) override;

    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    std::wstring m_foreImage;
};

}  // namespace TavroLib
