// Horizontal progress bar.
#pragma once

#include "ui/uilabel.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
  public:
    std::wstring GetClass() const override;  // "ProgressUI"
    void* GetInterface(const wchar_t* pstrName) override;

    int GetMinValue() const { return m_nMin; }
    int GetMaxValue() const { return m_nMax; }
    int GetValue() const { return m_nValue; }
    void SetMinValue(int n);
    void SetMaxValue(int n);
    // Sets n only when it differs and lies within min..max, then repaints.
    void SetValue(int n);
    const std::wstring& GetForeImage() const { return m_sForeImage; }
    void SetForeImage(const wchar_t* image);
    // The part of the bar the fill covers, in client coordinates.
    RECT GetFillRect() const;

    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

  protected:
    void PaintStatusImage(UIPaintContext& ctx) override;

    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    std::wstring m_sForeImage;
};

}  // namespace DuiLib
