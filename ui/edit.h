// Text box: drawn by the toolkit, typed into through a native EDIT window that
// is laid over it while it has the focus.
#pragma once

#include "ui/label.h"

namespace TavroLib {

class CNativeEdit;

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    ~CEditUI() override;

    std::wstring GetTypeName() const override;  // "EditUI"
    UINT GetInputFlags() const override;

    // While typing, the native window's text.
    std::wstring GetText() const override;
    LONG GetAccessibleRole() const override;
    // Its text is its value; the name comes from the layout or the tool tip.
    std::wstring GetAccessibleName() const override;
    std::wstring GetAccessibleValue() const override { return GetText(); }
    DWORD GetAccessibleState() const override { return 0; }
    const wchar_t* GetAccessibleAction() const override { return nullptr; }
    bool IsKeyboardFocusable() const override { return true; }
    void OnKeyboardFocus() override { StartEditing(); }
    DWORD GetNativeBkColor() const { return m_nativeBkColor; }
    void SetNativeBkColor(DWORD argb) { m_nativeBkColor = argb; }
    int GetMaxChar() const { return m_maxChars; }

    using CControlUI::SetPos;
    void SetPos(RECT rc, bool invalidate = true) override;  // moves the native window too
    void SetVisible(bool visible = true) override;
    void SetAttribute(const wchar_t* attribute, const wchar_t* value) override;
    void OnEvent(ControlEvent& event) override;
    void OnScaleChanged() override;  // the native window takes the new font and place

    // The rectangle of the native window, in client pixels.
    RECT GetNativeRect() const;
    HWND GetNativeWindow() const;
    // Called by the native window: its text is kept and it is gone.
    void OnNativeClosed(const std::wstring& text);

  protected:
    void OnTextChanged() override;
    void PaintText(PaintContext& ctx) override;
    void StartEditing();

    CNativeEdit* m_native = nullptr;
    DWORD m_nativeBkColor = 0xFFFFFFFF;
    int m_maxChars = 255;
};

}  // namespace TavroLib
