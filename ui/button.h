// Push button: state images and the "click" notification.
#pragma once

#include "ui/label.h"

namespace TavroLib {

class CButtonUI : public CLabelUI {
  public:
    std::wstring GetTypeName() const override;  // "ButtonUI"
    // A push button, or a link where the layout says accrole="link".
    LONG GetAccessibleRole() const override;
    DWORD GetAccessibleState() const override;
    const wchar_t* GetAccessibleAction() const override;
    bool IsKeyboardFocusable() const override { return true; }
    UINT GetInputFlags() const override;

    void SetNormalImage(const wchar_t* image) {
        m_normalImage = image ? image : L"";
        Invalidate();
    }
    void SetHotImage(const wchar_t* image) {
        m_hotImage = image ? image : L"";
        Invalidate();
    }
    void SetPushedImage(const wchar_t* image) {
        m_pushedImage = image ? image : L"";
        Invalidate();
    }
    const std::wstring& GetNormalImage() const { return m_normalImage; }
    const std::wstring& GetHotImage() const { return m_hotImage; }
    const std::wstring& GetPushedImage() const { return m_pushedImage; }
    bool IsHot() const { return m_hot; }
    bool IsPushed() const { return m_captured && m_pressedInside; }

    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;
    void OnEvent(ControlEvent& event) override;
    // Raises "click".
    bool Activate() override;

  protected:
    void PaintStateImage(PaintContext& ctx) override;

    std::wstring m_normalImage;
    std::wstring m_hotImage;
    std::wstring m_pushedImage;
    bool m_hot = false;
    bool m_captured = false;
    bool m_pressedInside = false;
};

}  // namespace TavroLib
