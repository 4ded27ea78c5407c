// The base control: position, visibility, background, border, tool tip and
// the notification source `OnNotify`.
#pragma once

#include <windows.h>

#include <string>

#include "ui/uidefine.h"
#include "ui/uidelegate.h"

namespace DuiLib {

struct UIPaintContext;

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual std::wstring GetClass() const;                // "ControlUI"
    virtual void* GetInterface(const wchar_t* pstrName);  // "Control"
    virtual UINT GetControlFlags() const;

    const std::wstring& GetName() const { return m_sName; }
    void SetName(const wchar_t* pstrName);

    virtual std::wstring GetText() const;
    // Replaces the text; repaints when it changed.
    void SetText(const wchar_t* pstrText);
    void SetText(const std::wstring& text) { SetText(text.c_str()); }

    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD argb);
    const std::wstring& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int size);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE cxy);
    const std::wstring& GetToolTip() const { return m_sToolTip; }
    void SetToolTip(const wchar_t* text);

    // Position in window client coordinates.
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    void SetPos(int left, int top, int right, int bottom);
    int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
    int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
    // Layout "pos": for a floating control its rectangle relative to the
    // parent's top-left corner; otherwise only its size counts.
    RECT GetFloatPos() const { return m_rcFloat; }
    void SetFloatPos(RECT rc);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool bFloat);
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);

    bool IsVisible() const { return m_bVisible; }
    // Hiding the focused control (or a parent of it) takes the focus away.
    virtual void SetVisible(bool bVisible = true);
    bool IsFocused() const { return m_bFocused; }
    void SetFocus();

    // Schedules a repaint of the control's visible rectangle.
    void Invalidate();
    // The parent must lay out its children again.
    void NeedParentUpdate();

    CPaintManagerUI* GetManager() const { return m_pManager; }
    CControlUI* GetParent() const { return m_pParent; }
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    // Control under pt (window client coordinates), or null.
    virtual CControlUI* FindControl(POINT pt);
    // Visits this control and its descendants; stops when the visitor returns false.
    virtual bool ForEach(bool (*visit)(CControlUI*, void*), void* data);

    virtual void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue);

    // Called once the control belongs to a manager.
    virtual void DoInit();
    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);
    virtual void DoPaint(UIPaintContext& ctx, const RECT& rcPaint);

    // Raises "click"; false when the control cannot be activated.
    virtual bool Activate();

    // Called by the paint manager when the control gets or loses the focus.
    void SetFocusFlag(bool focused) { m_bFocused = focused; }

    CEventSource OnNotify;

  protected:
    virtual void OnTextChanged() {}
    virtual void PaintBkColor(UIPaintContext& ctx);
    virtual void PaintBkImage(UIPaintContext& ctx);
    virtual void PaintStatusImage(UIPaintContext& ctx);
    virtual void PaintText(UIPaintContext& ctx);
    virtual void PaintBorder(UIPaintContext& ctx);
    // Draws an image attribute value (bare name or file='..' dest='..') in the control.
    bool DrawImage(UIPaintContext& ctx, const std::wstring& image);

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    std::wstring m_sName;
    std::wstring m_sText;
    std::wstring m_sToolTip;
    std::wstring m_sBkImage;
    RECT m_rcItem{};
    RECT m_rcFloat{};
    SIZE m_cxyFixed{};
    SIZE m_cxyBorderRound{};
    DWORD m_dwBackColor = 0;
    DWORD m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    bool m_bFloat = false;
    bool m_bVisible = true;
    bool m_bFocused = false;
};

}  // namespace DuiLib
