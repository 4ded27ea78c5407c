// Shared types of the toolkit: the notification record, the interfaces a
// window implements for its paint manager, and the internal event record.
#pragma once

#include <windows.h>

#include <string>

namespace TavroLib {

class CControlUI;
class CPaintManagerUI;

// Where a window's layout and images come from.
enum class ResourceSource {
    Folder = 1,       // files in the resource folder
    ZipFile = 2,      // a zip file in the resource folder
    Resource = 3,     // resources of the executable
    ZipResource = 4,  // a zip archive stored as a resource ("ZIPRES")
};

// Task channel message: wParam is a heap-allocated task, lParam its narrow name.
constexpr UINT kTaskMessage = WM_USER + 50;  // 1074
// Reserved hook message of the window base.
constexpr UINT kReservedMessage = WM_USER + 123;  // 1147

// Notification type names.
constexpr const wchar_t* kNotifyClick = L"click";
constexpr const wchar_t* kNotifySelectChanged = L"selectchanged";
constexpr const wchar_t* kNotifyWindowInit = L"windowinit";
constexpr const wchar_t* kNotifySetFocus = L"setfocus";
constexpr const wchar_t* kNotifyKillFocus = L"killfocus";
constexpr const wchar_t* kNotifyTextChanged = L"textchanged";
constexpr const wchar_t* kNotifyReturn = L"return";
constexpr const wchar_t* kNotifyTimer = L"timer";
constexpr const wchar_t* kNotifyValueChanged = L"valuechanged";

// The notification record handed to delegates and listeners.
struct NotifyMsg {
    std::wstring type;           // "click", "selectchanged", ...
    std::wstring virtualWindow;  // kept for the record's layout; nothing sets it yet
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

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
    virtual CControlUI* CreateControl(const wchar_t* typeName) = 0;

  protected:
    ~IDialogBuilderCallback() = default;
};

// Input reaching a control from its paint manager.
enum class InputEvent {
    MouseMove = 1,
    MouseLeave,
    MouseEnter,
    MouseHover,
    ButtonDown,
    ButtonUp,
    DoubleClick,
    KeyDown,
    Char,
    SetFocus,
    KillFocus,
    Timer,
    SetCursor,
};

// What changed of a control, for screen readers.
enum class AccessibleChange {
    Name,
    Value,
    State,
    Focus,
};

struct ControlEvent {
    InputEvent type = InputEvent::MouseMove;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mouse{};
    wchar_t key = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Input flags of a control: it takes clicks and the focus; it sets the cursor.
constexpr UINT kTakesInput = 0x01;
constexpr UINT kSetsCursor = 0x02;

// Text style bits (the DT_ flags of DrawText).
constexpr UINT kDefaultTextStyle = DT_LEFT | DT_VCENTER | DT_SINGLELINE;

}  // namespace TavroLib
