// The base control: position, visibility, background, border, tool tip and
// the notification source `OnNotify`.
#pragma once

#include <windows.h>

#include <string>

#include "ui/types.h"
#include "ui/delegate.h"

namespace TavroLib {

struct PaintContext;

class CPanelUI;

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual std::wstring GetTypeName() const;  // "ControlUI"
    virtual UINT GetInputFlags() const;
    // The control as a panel that holds children, or null.
    virtual CPanelUI* AsPanel() { return nullptr; }

    const std::wstring& GetName() const { return m_name; }
    void SetName(const wchar_t* name);

    virtual std::wstring GetText() const;
    // Replaces the text; repaints when it changed. Called on another thread
    // than the window's, it posts the change to the window's thread.
    void SetText(const wchar_t* text);
    void SetText(const std::wstring& text) { SetText(text.c_str()); }

    DWORD GetBkColor() const { return m_bkColor; }
    void SetBkColor(DWORD argb);
    const std::wstring& GetBkImage() const { return m_bkImage; }
    void SetBkImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_borderColor; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return m_borderSize; }
    void SetBorderSize(int size);
    SIZE GetBorderRound() const { return m_borderRound; }
    void SetBorderRound(SIZE cxy);
    const std::wstring& GetToolTip() const { return m_toolTip; }
    void SetToolTip(const wchar_t* text);

    // Position in window client coordinates.
    const RECT& GetPos() const { return m_rect; }
    virtual void SetPos(RECT rc, bool invalidate = true);
    void SetPos(int left, int top, int right, int bottom);
    int GetWidth() const { return m_rect.right - m_rect.left; }
    int GetHeight() const { return m_rect.bottom - m_rect.top; }
    // Layout "pos": for a floating control its rectangle relative to the
    // parent's top-left corner; otherwise only its size counts.
    RECT GetFloatPos() const { return m_floatRect; }
    void SetFloatPos(RECT rc);
    bool IsFloating() const { return m_floating; }
    void SetFloating(bool floating);
    int GetFixedWidth() const { return m_fixedSize.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_fixedSize.cy; }
    void SetFixedHeight(int cy);

    bool IsVisible() const { return m_visible; }
    // Hiding the focused control (or a parent of it) takes the focus away.
    virtual void SetVisible(bool visible = true);
    bool IsFocused() const { return m_focused; }
    void SetFocus();

    // Schedules a repaint of the control's visible rectangle.
    void Invalidate();
    // The parent must lay out its children again.
    void RequestParentLayout();

    CPaintManagerUI* GetPaintManager() const { return m_manager; }
    CControlUI* GetParent() const { return m_parent; }
    virtual void AttachTo(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    // Control under pt (window client coordinates), or null.
    virtual CControlUI* FindControl(POINT pt);
    // Visits this control and its descendants; stops when the visitor returns false.
    virtual bool ForEach(bool (*visit)(CControlUI*, void*), void* data);

    virtual void SetAttribute(const wchar_t* attribute, const wchar_t* value);

    // Called once the control belongs to a manager.
    virtual void OnInit();
    // Called when the window's DPI has changed, after its fonts were made anew.
    virtual void OnScaleChanged() {}
    void Event(ControlEvent& event);
    virtual void OnEvent(ControlEvent& event);
    virtual void Paint(PaintContext& ctx, const RECT& rcPaint);

    // Raises "click"; false when the control cannot be activated.
    virtual bool Activate();

    // Keyboard: whether Tab stops here, and what the control does when Tab
    // brought the focus (the edit starts editing).
    virtual bool IsKeyboardFocusable() const { return false; }
    virtual void OnKeyboardFocus() {}

    // What a screen reader is told. Role 0: the control is not shown to it.
    // "accname" and "accrole" of the layout name what only an image shows.
    virtual LONG GetAccessibleRole() const { return 0; }
    virtual std::wstring GetAccessibleName() const;
    virtual std::wstring GetAccessibleValue() const { return std::wstring(); }
    // STATE_SYSTEM_ bits of the control's own (checked); the paint manager
    // adds focus, visibility and availability.
    virtual DWORD GetAccessibleState() const { return 0; }
    virtual const wchar_t* GetAccessibleAction() const { return nullptr; }
    // Does what the default action names, as a click would.
    virtual bool DoAccessibleAction() { return Activate(); }
    const std::wstring& GetAccessibleRoleAttribute() const { return m_accRole; }
    // Visible, and so are all its parents.
    bool IsShown() const;

    // Called by the paint manager when the control gets or loses the focus.
    void SetFocusFlag(bool focused) { m_focused = focused; }

    CDelegateList OnNotify;

  protected:
    virtual void OnTextChanged() {}
    virtual void PaintBackground(PaintContext& ctx);
    virtual void PaintBackgroundImage(PaintContext& ctx);
    virtual void PaintStateImage(PaintContext& ctx);
    virtual void PaintText(PaintContext& ctx);
    virtual void PaintBorder(PaintContext& ctx);
    // Draws an image attribute value (bare name or file='..' dest='..') in the control.
    bool DrawImage(PaintContext& ctx, const std::wstring& image);

    CPaintManagerUI* m_manager = nullptr;
    CControlUI* m_parent = nullptr;
    std::wstring m_name;
    std::wstring m_text;
    std::wstring m_toolTip;
    std::wstring m_bkImage;
    std::wstring m_accName;
    std::wstring m_accRole;
    RECT m_rect{};
    RECT m_floatRect{};
    SIZE m_fixedSize{};
    SIZE m_borderRound{};
    DWORD m_bkColor = 0;
    DWORD m_borderColor = 0;
    int m_borderSize = 0;
    bool m_floating = false;
    bool m_visible = true;
    bool m_focused = false;
};

}  // namespace TavroLib
