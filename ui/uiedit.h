// Text box: drawn by the toolkit, typed into through a native EDIT window that
// is laid over it while it has the focus.
#pragma once

#include "ui/uilabel.h"

namespace DuiLib {

class CEditWnd;

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    ~CEditUI() override;

    std::wstring GetClass() const override;  // "EditUI"
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;

    // While typing, the native window's text.
    std::wstring GetText() const override;
    DWORD GetNativeBkColor() const { return m_dwNativeBkColor; }
    void SetNativeBkColor(DWORD argb) { m_dwNativeBkColor = argb; }
    int GetMaxChar() const { return m_nMaxChar; }

    using CControlUI::SetPos;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;  // moves the native window too
    void SetVisible(bool bVisible = true) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void DoEvent(TEventUI& event) override;

    // The rectangle of the native window, in client coordinates.
    RECT GetNativeRect() const;
    HWND GetNativeWindow() const;
    // Called by the native window: its text is kept and it is gone.
    void OnNativeClosed(const std::wstring& text);

  protected:
    void OnTextChanged() override;
    void PaintText(UIPaintContext& ctx) override;
    void StartEditing();

    CEditWnd* m_pWindow = nullptr;
    DWORD m_dwNativeBkColor = 0xFFFFFFFF;
    int m_nMaxChar = 255;
};

}  // namespace DuiLib
