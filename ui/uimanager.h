// The paint manager of one window: control tree, names, notifiers and
// pre-message filters, timers, hit testing, focus, painting, tool tips,
// the caption rectangle, round corners and fonts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <unordered_map>
#include <memory>
#include <string>
#include <vector>

#include "ui/uidefine.h"

namespace DuiLib {

class CControlUI;

struct UIFontInfo {
    HFONT hFont = nullptr;
    std::wstring sFontName;
    int iSize = 0;  // character height in pixels
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRICW tm{};
};

class CPaintManagerUI {
  public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide settings.
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE hInst);
    static std::wstring GetInstancePath();  // the program's folder, with a trailing backslash
    static std::wstring GetResourcePath();
    // Appends a backslash unless the path ends in a backslash or a slash.
    static void SetResourcePath(const wchar_t* pStrPath);

    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HWND GetTooltipWindow() const { return m_hwndTooltip; }
    POINT GetMousePos() const { return m_ptLastMousePos; }
    SIZE GetClientSize() const;

    // Window attributes of the layout.
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);  // also resizes the window
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy);
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy);
    bool IsShowShadow() const { return m_bShowShadow; }
    void SetShowShadow(bool show) { m_bShowShadow = show; }

    // Fonts, numbered by the order they were added, from 0.
    int AddFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    int GetFontCount() const { return static_cast<int>(m_aFonts.size()); }
    const UIFontInfo* GetFontInfo(int index) const;  // null when out of range
    void SetDefaultFont(int index);
    int GetDefaultFontIndex() const { return m_iDefaultFont; }
    // The control's font: index when valid, otherwise the default font.
    HFONT GetFont(int index);
    const UIFontInfo* GetFontInfoOrDefault(int index);

    // Control tree.
    bool AttachDialog(CControlUI* pControl);  // takes ownership
    CControlUI* GetRoot() const { return m_pRoot; }
    // Called by controls joining the manager: records the name.
    bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
    // Called by controls leaving the tree: forgets name, focus, timers, hot state.
    void ReapObjects(CControlUI* pControl);
    CControlUI* FindControl(const wchar_t* pstrName) const;
    CControlUI* FindControl(POINT pt) const;
    void NeedUpdate();
    void Invalidate();
    void Invalidate(const RECT& rcItem);
    // Lays the tree out again now if something asked for it.
    void UpdateLayout();

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);

    // Timers of controls; the id is the control's own.
    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);
    void RemoveAllTimers();

    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    // The sender's delegates first (a false result ends them), then every notifier.
    void SendNotify(NotifyMsg& msg);
    void SendNotify(CControlUI* pControl, const wchar_t* pstrMessage, WPARAM wParam = 0,
                    LPARAM lParam = 0);

    bool AddPreMessageFilter(IMessageFilterUI* pFilter);
    bool RemovePreMessageFilter(IMessageFilterUI* pFilter);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Painting, input to the controls, timers; true when it handled the message.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Lets the pre-message filters of the message's window (or of its
    // top-level ancestor) see a message; true when one consumed it.
    static bool TranslateMessage(const MSG* pMsg);

    // Paints the tree into a 32-bit top-down bitmap of the client size
    // (premultiplied BGRA); for tests and screenshots.
    bool RenderToPixels(std::vector<uint32_t>& pixels, int& width, int& height);

  private:
    struct TimerInfo {
        CControlUI* pSender;
        UINT nLocalID;
        UINT_PTR uWinTimer;
    };

    void PaintTo(HDC hdc, const RECT& rcPaint, int width, int height, void* bits);
    void EnsureBackBuffer(int width, int height);
    void FreeBackBuffer();
    void UpdateHot(CControlUI* pNewHover, POINT pt, DWORD now);
    void ShowToolTip(CControlUI* pControl);
    void HideToolTip();
    void FreeFonts();

    HWND m_hWndPaint = nullptr;
    HWND m_hwndTooltip = nullptr;
    TOOLINFOW m_ToolTip{};
    std::wstring m_sToolTipText;
    HDC m_hDcOffscreen = nullptr;
    HBITMAP m_hbmpOffscreen = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    void* m_pOffscreenBits = nullptr;
    SIZE m_szOffscreen{};

    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pToolTipControl = nullptr;
    POINT m_ptLastMousePos{-1, -1};
    bool m_bMouseTracking = false;
    bool m_bUpdateNeeded = false;
    bool m_bFirstLayout = true;

    SIZE m_szInitWindowSize{};
    SIZE m_szMinWindow{};
    SIZE m_szMaxWindow{};
    SIZE m_szRoundCorner{};
    RECT m_rcSizeBox{};
    RECT m_rcCaption{};
    bool m_bShowShadow = false;

    std::vector<std::unique_ptr<UIFontInfo>> m_aFonts;
    int m_iDefaultFont = -1;
    std::unique_ptr<UIFontInfo> m_pSystemFont;

    std::unordered_map<std::wstring, CControlUI*> m_mNameHash;
    std::vector<TimerInfo> m_aTimers;
    UINT_PTR m_uNextTimer = 0x100;
    std::vector<INotifyUI*> m_aNotifiers;
    std::vector<IMessageFilterUI*> m_aPreMessageFilters;
};

}  // namespace DuiLib
