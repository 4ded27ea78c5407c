// Shared types of the toolkit: the notification record, the interfaces a
// window implements for its paint manager, and the internal event record.
#pragma once

#include <windows.h>

#include <string>

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// Where a window's layout and images come from.
enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,         // files in the resource folder
    UILIB_ZIP = 2,          // a zip file in the resource folder
    UILIB_RESOURCE = 3,     // resources of the executable
    UILIB_ZIPRESOURCE = 4,  // a zip archive stored as a resource ("ZIPRES")
};

// Task channel message: wParam is a heap-allocated task, lParam its narrow name.
constexpr UINT WM_UI_TASK = WM_USER + 50;  // 1074
// Reserved hook message of the window base.
constexpr UINT WM_UI_RESERVED = WM_USER + 123;  // 1147

// Notification type names.
constexpr const wchar_t* DUI_MSGTYPE_CLICK = L"click";
constexpr const wchar_t* DUI_MSGTYPE_SELECTCHANGED = L"selectchanged";
constexpr const wchar_t* DUI_MSGTYPE_WINDOWINIT = L"windowinit";
constexpr const wchar_t* DUI_MSGTYPE_SETFOCUS = L"setfocus";
constexpr const wchar_t* DUI_MSGTYPE_KILLFOCUS = L"killfocus";
constexpr const wchar_t* DUI_MSGTYPE_TEXTCHANGED = L"textchanged";
constexpr const wchar_t* DUI_MSGTYPE_RETURN = L"return";
constexpr const wchar_t* DUI_MSGTYPE_TIMER = L"timer";
constexpr const wchar_t* DUI_MSGTYPE_VALUECHANGED = L"valuechanged";

// The notification record handed to delegates and notifiers.
struct NotifyMsg {
    std::wstring sType;        // "click", "selectchanged", ...
    std::wstring sVirtualWnd;  // name of a virtual window (unused here)
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
using TNotifyUI = NotifyMsg;

class INotifyUI {
  public:
    virtual void Notify(NotifyMsg& msg) = 0;

  protected:
    ~INotifyUI() = default;
};

// Sees a message before it is translated; setting bHandled consumes it.
class IMessageFilterUI {
  public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

  protected:
    ~IMessageFilterUI() = default;
};

// Factory for element types the builder does not know; null: skip the element.
class IDialogBuilderCallback {
  public:
    virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;

  protected:
    ~IDialogBuilderCallback() = default;
};

// Input reaching a control from its paint manager.
enum EVENTTYPE_UI {
    UIEVENT_MOUSEMOVE = 1,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_KEYDOWN,
    UIEVENT_CHAR,
    UIEVENT_SETFOCUS,
    UIEVENT_KILLFOCUS,
    UIEVENT_TIMER,
    UIEVENT_SETCURSOR,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    wchar_t chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Control flags.
constexpr UINT UIFLAG_TABSTOP = 0x01;
constexpr UINT UIFLAG_SETCURSOR = 0x02;

// Text style bits (the DT_ flags of DrawText).
constexpr UINT UI_TEXTSTYLE_DEFAULT = DT_LEFT | DT_VCENTER | DT_SINGLELINE;

}  // namespace DuiLib
