// The base of every skinned window: a frameless native window built from an
// XML layout, with default handling of caption dragging, round corners,
// close codes and the Escape/Enter keys.
#pragma once

#include <string>

#include "ui/nativewindow.h"
#include "ui/paintmanager.h"

namespace TavroLib {

class CControlUI;

// WM_DPICHANGED, also where the headers are older than Windows 8.1.
constexpr UINT kDpiChangedMessage = 0x02E0;

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
  public:
    WindowImplBase();

    // CWindowWnd's operations (GetWindowClassName stays abstract).
    const wchar_t* GetSuperClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    ~WindowImplBase() override;

    // Operations of the window base, in slot order.
    virtual void InitWindow();
    // "closebtn": Close(8); "minbtn", "maxbtn", "restorebtn": through WM_SYSCOMMAND.
    virtual void OnClick(NotifyMsg& msg);
    virtual std::wstring GetSkinFolder() = 0;
    virtual std::wstring GetSkinFile() = 0;
    // Escape: Close(IDOK), handled; Enter: not handled (0).
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);
    virtual ResourceSource GetResourceType() const;
    virtual std::wstring GetZipFileName() const;
    // Id of the "ZIPRES" resource (MAKEINTRESOURCEW(102) for the installer); null for none.
    virtual const wchar_t* GetResourceId() const;
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // The window's style without WS_CAPTION.
    virtual LONG GetStyle();
    virtual LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    virtual LRESULT OnReservedMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
    // WM_DPICHANGED: the window's DPI in wParam, the proposed window rectangle in lParam.
    virtual LRESULT OnDpiChanged(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);

    // INotifyUI: through the handler table ("click" to OnClick).
    void Notify(NotifyMsg& msg) override;
    // IMessageFilterUI: VK_RETURN and VK_ESCAPE key-downs to ResponseDefaultKeyEvent.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // IDialogBuilderCallback: no element types of its own.
    CControlUI* CreateControl(const wchar_t* typeName) override;

    CControlUI* FindControl(const wchar_t* name) const { return m_paintManager.FindControl(name); }
    CPaintManagerUI& GetPaintManager() { return m_paintManager; }

  protected:
    const HandlerTable* GetHandlerTable() const override;
    static const HandlerTable handlerTable;
    static const HandlerEntry handlerEntries[];
    void OnClickEntry(NotifyMsg& msg) { OnClick(msg); }
    // The failure path of a layout that cannot be built; does not return.
    [[noreturn]] void FailLayoutLoad();

    CPaintManagerUI m_paintManager;
};

}  // namespace TavroLib
