// Push button: state images and the "click" notification.
#pragma once

#include "ui/uilabel.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
  public:
    std::wstring GetClass() const override;  // "ButtonUI"
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;

    void SetNormalImage(const wchar_t* image) {
        m_sNormalImage = image ? image : L"";
        Invalidate();
    }
    void SetHotImage(const wchar_t* image) {
        m_sHotImage = image ? image : L"";
        Invalidate();
    }
    void SetPushedImage(const wchar_t* image) {
        m_sPushedImage = image ? image : L"";
        Invalidate();
    }
    const std::wstring& GetNormalImage() const { return m_sNormalImage; }
    const std::wstring& GetHotImage() const { return m_sHotImage; }
    const std::wstring& GetPushedImage() const { return m_sPushedImage; }
    bool IsHot() const { return m_bHot; }
    bool IsPushed() const { return m_bCaptured && m_bPressedInside; }

    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void DoEvent(TEventUI& event) override;
    // Raises "click".
    bool Activate() override;

  protected:
    void PaintStatusImage(UIPaintContext& ctx) override;

    std::wstring m_sNormalImage;
    std::wstring m_sHotImage;
    std::wstring m_sPushedImage;
    bool m_bHot = false;
    bool m_bCaptured = false;
    bool m_bPressedInside = false;
};

}  // namespace DuiLib
