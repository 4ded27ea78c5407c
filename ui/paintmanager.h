// The paint manager of one window: control tree, names, listeners and
// message filters, timers, hit testing, focus, painting, tool tips,
// the caption rectangle, round corners and fonts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <memory>
#include <string>
#include <vector>

#include "ui/accessibility/accessibleevents.h"
#include "ui/dpiscale.h"
#include "ui/imagescaler.h"
#include "ui/types.h"

namespace TavroLib {

class CControlUI;
class AccessibleClient;
struct PaintContext;

struct FontInfo {
    HFONT handle = nullptr;  // at the window's DPI
    std::wstring face;
    int pixelSize = 0;  // character height in layout units
    bool bold = false;
    bool underline = false;
    bool italic = false;
    TEXTMETRICW metrics{};  // pixels of the window's DPI
    LOGFONTW layoutFont{};  // as the layout asked for it, in layout units
};

class CPaintManagerUI {
  public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide settings.
    static HINSTANCE GetModule();
    static void SetModule(HINSTANCE module);
    static std::wstring GetModuleFolder();  // the program's folder, with a trailing backslash
    static std::wstring GetResourceFolder();
    // Appends a backslash unless the path ends in a backslash or a slash.
    static void SetResourceFolder(const wchar_t* folder);

    void BindWindow(HWND hWnd);
    HWND GetHostWindow() const { return m_window; }

    // How work reaches the host window's thread: the window's task channel.
    using WindowTask = std::function<void()>;
    using TaskPoster = std::function<bool(WindowTask task, const char* name)>;
    void SetTaskPoster(TaskPoster poster) { m_taskPoster = std::move(poster); }
    // True on the thread that owns the host window, and while there is none.
    bool IsWindowThread() const;
    // Posts task to the host window's thread; false when nothing was posted
    // (no channel, or the window is closing).
    bool PostToWindowThread(WindowTask task, const char* name);
    // Whether control is still part of this manager's tree.
    bool HoldsControl(const CControlUI* control) const;
    HWND GetToolTipWindow() const { return m_toolTipWnd; }
    POINT GetMousePos() const { return m_lastMouse; }
    // The client area in pixels.
    SIZE GetClientSize() const;

    // Layout units against the window's pixels. Bound to a window, the
    // manager takes the window's DPI; SetDpi follows a change of it (fonts,
    // cached images and native child windows are made anew).
    const DpiScale& GetScale() const { return m_scale; }
    void SetDpi(int dpi);

    // Window attributes of the layout, in layout units.
    SIZE GetInitialSize() const { return m_initialSize; }
    void SetInitialSize(int cx, int cy);  // also resizes the window (to its pixels)
    RECT GetResizeBorder() const { return m_resizeBorder; }
    void SetResizeBorder(const RECT& rc) { m_resizeBorder = rc; }
    RECT GetCaptionArea() const { return m_captionArea; }
    void SetCaptionArea(const RECT& rc) { m_captionArea = rc; }
    SIZE GetCornerSize() const { return m_cornerSize; }
    void SetCornerSize(int cx, int cy);
    SIZE GetMinimumSize() const { return m_minSize; }
    void SetMinimumSize(int cx, int cy);
    SIZE GetMaximumSize() const { return m_maxSize; }
    void SetMaximumSize(int cx, int cy);
    bool HasShadow() const { return m_shadow; }
    void SetHasShadow(bool show) { m_shadow = show; }

    // Fonts, numbered by the order they were added, from 0.
    int AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    int GetFontCount() const { return static_cast<int>(m_fonts.size()); }
    const FontInfo* GetFontAt(int index) const;  // null when out of range
    void SetDefaultFont(int index);
    int GetDefaultFontIndex() const { return m_defaultFont; }
    // The control's font: index when valid, otherwise the default font.
    HFONT GetFont(int index);
    const FontInfo* ResolveFont(int index);

    // Control tree.
    bool SetRoot(CControlUI* control);  // takes ownership
    CControlUI* GetRoot() const { return m_root; }
    // Called by controls joining the manager: records the name.
    bool RegisterControl(CControlUI* control, CControlUI* parent = nullptr);
    // Called by controls leaving the tree: forgets name, focus, timers, hot state.
    void ForgetControl(CControlUI* control);
    CControlUI* FindControl(const wchar_t* name) const;
    CControlUI* FindControl(POINT pt) const;
    void RequestLayout();
    void Invalidate();
    void Invalidate(const RECT& rc);
    // Lays the tree out again now if something asked for it.
    void UpdateLayout();

    CControlUI* GetFocus() const { return m_focus; }
    void SetFocus(CControlUI* control);
    // Focus from the keyboard (Tab) or a screen reader: the focus mark shows
    // until the next mouse press.
    void FocusByKeyboard(CControlUI* control);
    // Tab and Shift+Tab; false when no control takes the focus.
    bool MoveFocusByKey(bool backward);
    bool ShowsFocusMark() const { return m_focusMark; }

    // Screen readers: the layout's window role ("dialog" for message
    // windows) and changes they are told of after the next paint.
    bool IsDialogWindow() const { return m_dialogWindow; }
    void SetDialogWindow(bool dialog) { m_dialogWindow = dialog; }
    void QueueAccessibleEvent(CControlUI* control, AccessibleChange change);

    // Timers of controls; the id is the control's own.
    bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
    bool KillTimer(CControlUI* control, UINT timerId);
    void KillTimer(CControlUI* control);
    void RemoveAllTimers();

    bool AddListener(INotifyUI* listener);
    bool RemoveListener(INotifyUI* listener);
    // The sender's delegates first (a false result ends them), then every listener.
    void SendNotification(NotifyMsg& msg);
    void SendNotification(CControlUI* control, const wchar_t* type, WPARAM wParam = 0,
                          LPARAM lParam = 0);

    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Painting, input to the controls, timers; true when it handled the message.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Lets the message filters of the message's window (or of its
    // top-level ancestor) see a message; true when one consumed it.
    static bool PreTranslate(const MSG* msg);

    // Paints the tree into a 32-bit top-down bitmap of the client size
    // (premultiplied BGRA); for tests and screenshots.
    bool RenderToPixels(std::vector<uint32_t>& pixels, int& width, int& height);

  private:
    struct TimerInfo {
        CControlUI* control;
        UINT localId;
        UINT_PTR systemId;
    };

    void PaintTo(HDC hdc, const RECT& rcPaint, int width, int height, void* bits);
    void EnsureBackBuffer(int width, int height);
    void FreeBackBuffer();
    void UpdateHot(CControlUI* pNewHover, POINT pt, DWORD now);
    void ShowToolTip(CControlUI* control);
    void HideToolTip();
    void FreeFonts();
    RECT FocusMarkRect(const CControlUI* control) const;
    void InvalidateFocusMark();
    void PaintFocusMark(PaintContext& ctx);
    LRESULT AnswerAccessibleObject(WPARAM wParam, LPARAM lParam, bool& handled);
    void ReleaseAccessible();
    bool MakeFont(FontInfo& info) const;
    // A point of a mouse message, in layout units.
    POINT ClientPoint(LPARAM lParam) const;

    HWND m_window = nullptr;
    HWND m_toolTipWnd = nullptr;
    TOOLINFOW m_toolInfo{};
    std::wstring m_toolTipText;
    HDC m_bufferDC = nullptr;
    HBITMAP m_bufferBitmap = nullptr;
    HGDIOBJ m_bufferOldBitmap = nullptr;
    void* m_bufferBits = nullptr;
    SIZE m_bufferSize{};

    CControlUI* m_root = nullptr;
    CControlUI* m_focus = nullptr;
    CControlUI* m_hover = nullptr;
    CControlUI* m_pressed = nullptr;
    CControlUI* m_toolTipControl = nullptr;
    POINT m_lastMouse{-1, -1};
    bool m_trackingMouse = false;
    bool m_layoutNeeded = false;

    SIZE m_initialSize{};
    SIZE m_minSize{};
    SIZE m_maxSize{};
    SIZE m_cornerSize{};
    RECT m_resizeBorder{};
    RECT m_captionArea{};
    bool m_shadow = false;
    bool m_focusMark = false;
    bool m_dialogWindow = false;
    AccessibleClient* m_accessible = nullptr;  // one reference while the window lives
    AccessibleEventQueue m_accEvents;

    DpiScale m_scale;
    ScaledImageCache m_scaledImages;
    std::vector<std::unique_ptr<FontInfo>> m_fonts;
    int m_defaultFont = -1;
    std::unique_ptr<FontInfo> m_systemFont;

    std::unordered_map<std::wstring, CControlUI*> m_byName;
    std::vector<TimerInfo> m_timers;
    UINT_PTR m_nextTimerId = 0x100;
    std::vector<INotifyUI*> m_listeners;
    std::vector<IMessageFilterUI*> m_filters;
    TaskPoster m_taskPoster;
};

}  // namespace TavroLib
