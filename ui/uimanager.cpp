#include "ui/uimanager.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>

#include "ui/imagedecoder.h"
#include "ui/uiattr.h"
#include "ui/uicontrol.h"
#include "ui/uieditwnd.h"
#include "ui/uigdiplus.h"
#include "ui/uirender.h"

namespace DuiLib {
namespace {

constexpr int kMaxFonts = 256;
constexpr int kMaxFontSize = 500;

struct Globals {
    std::mutex lock;
    HINSTANCE instance = nullptr;
    std::wstring resourcePath;
    std::vector<CPaintManagerUI*> managers;
};

Globals& G() {
    static Globals* g = new Globals();  // lives until the process ends
    return *g;
}

void RegisterManager(CPaintManagerUI* pm) {
    std::lock_guard<std::mutex> lock(G().lock);
    auto& v = G().managers;
    if (std::find(v.begin(), v.end(), pm) == v.end())
        v.push_back(pm);
}

void UnregisterManager(CPaintManagerUI* pm) {
    std::lock_guard<std::mutex> lock(G().lock);
    auto& v = G().managers;
    v.erase(std::remove(v.begin(), v.end(), pm), v.end());
}

CPaintManagerUI* ManagerOf(HWND hWnd) {
    std::lock_guard<std::mutex> lock(G().lock);
    for (CPaintManagerUI* pm : G().managers) {
        if (pm->GetPaintWindow() == hWnd)
            return pm;
    }
    return nullptr;
}

LOGFONTW SystemLogFont() {
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    return lf;
}

void MeasureFont(UIFontInfo& info) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, info.hFont);
    ::GetTextMetricsW(dc, &info.tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
}

TEventUI MakeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0) {
    TEventUI e;
    e.Type = type;
    e.pSender = sender;
    e.dwTimestamp = ::GetTickCount();
    e.ptMouse = pt;
    e.wParam = wParam;
    e.lParam = lParam;
    return e;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
    UnregisterManager(this);
    RemoveAllTimers();
    HideToolTip();
    if (m_hwndTooltip != nullptr && ::IsWindow(m_hwndTooltip))
        ::DestroyWindow(m_hwndTooltip);
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    m_mNameHash.clear();
    FreeBackBuffer();
    FreeFonts();
}

HINSTANCE CPaintManagerUI::GetInstance() {
    std::lock_guard<std::mutex> lock(G().lock);
    return G().instance ? G().instance : ::GetModuleHandleW(nullptr);
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
    std::lock_guard<std::mutex> lock(G().lock);
    G().instance = hInst;
}

std::wstring CPaintManagerUI::GetInstancePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(GetInstance(), &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() > 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
    const size_t sep = path.find_last_of(L"\\/");
    return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

std::wstring CPaintManagerUI::GetResourcePath() {
    std::lock_guard<std::mutex> lock(G().lock);
    return G().resourcePath;
}

void CPaintManagerUI::SetResourcePath(const wchar_t* pStrPath) {
    std::wstring path = pStrPath ? pStrPath : L"";
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    std::lock_guard<std::mutex> lock(G().lock);
    G().resourcePath = path;
}

void CPaintManagerUI::Init(HWND hWnd) {
    if (m_hWndPaint != hWnd) {
        m_hWndPaint = hWnd;
        RegisterManager(this);
    }
    EnsureGdiplus();
}

SIZE CPaintManagerUI::GetClientSize() const {
    RECT rc{};
    if (m_hWndPaint != nullptr)
        ::GetClientRect(m_hWndPaint, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_szInitWindowSize.cy = std::clamp(cy, 0, kMaxWindowExtent);
    if (m_pRoot == nullptr && m_hWndPaint != nullptr && m_szInitWindowSize.cx > 0 &&
        m_szInitWindowSize.cy > 0) {
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, m_szInitWindowSize.cx, m_szInitWindowSize.cy,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    m_szRoundCorner.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_szRoundCorner.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    m_szMinWindow.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_szMinWindow.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
    m_szMaxWindow.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_szMaxWindow.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

int CPaintManagerUI::AddFont(const wchar_t* pStrFontName, int nSize, bool bBold, bool bUnderline,
                             bool bItalic) {
    if (GetFontCount() >= kMaxFonts)
        return -1;
    LOGFONTW lf = SystemLogFont();
    if (pStrFontName != nullptr && *pStrFontName != 0) {
        wcsncpy(lf.lfFaceName, pStrFontName, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    if (nSize > 0)
        lf.lfHeight = -std::min(nSize, kMaxFontSize);
    if (bBold)
        lf.lfWeight = FW_BOLD;
    lf.lfUnderline = bUnderline ? TRUE : FALSE;
    lf.lfItalic = bItalic ? TRUE : FALSE;
    lf.lfQuality = ANTIALIASED_QUALITY;
    HFONT font = ::CreateFontIndirectW(&lf);
    if (font == nullptr)
        return -1;
    auto info = std::make_unique<UIFontInfo>();
    info->hFont = font;
    info->sFontName = lf.lfFaceName;
    info->iSize = -lf.lfHeight;
    info->bBold = bBold;
    info->bUnderline = bUnderline;
    info->bItalic = bItalic;
    MeasureFont(*info);
    m_aFonts.push_back(std::move(info));
    return GetFontCount() - 1;
}

const UIFontInfo* CPaintManagerUI::GetFontInfo(int index) const {
    if (index < 0 || index >= GetFontCount())
        return nullptr;
    return m_aFonts[static_cast<size_t>(index)].get();
}

void CPaintManagerUI::SetDefaultFont(int index) {
    if (index >= 0 && index < GetFontCount())
        m_iDefaultFont = index;
}

const UIFontInfo* CPaintManagerUI::GetFontInfoOrDefault(int index) {
    if (const UIFontInfo* f = GetFontInfo(index))
        return f;
    if (const UIFontInfo* f = GetFontInfo(m_iDefaultFont))
        return f;
    if (!m_pSystemFont) {
        LOGFONTW lf = SystemLogFont();
        auto info = std::make_unique<UIFontInfo>();
        info->hFont = ::CreateFontIndirectW(&lf);
        if (info->hFont == nullptr)
            return nullptr;
        info->sFontName = lf.lfFaceName;
        info->iSize = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        MeasureFont(*info);
        m_pSystemFont = std::move(info);
    }
    return m_pSystemFont.get();
}

HFONT CPaintManagerUI::GetFont(int index) {
    const UIFontInfo* f = GetFontInfoOrDefault(index);
    return f ? f->hFont : nullptr;
}

void CPaintManagerUI::FreeFonts() {
    for (auto& f : m_aFonts) {
        if (f->hFont)
            ::DeleteObject(f->hFont);
    }
    m_aFonts.clear();
    if (m_pSystemFont && m_pSystemFont->hFont)
        ::DeleteObject(m_pSystemFont->hFont);
    m_pSystemFont.reset();
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    SetFocus(nullptr);
    m_pEventHover = m_pEventClick = m_pToolTipControl = nullptr;
    if (m_pRoot != nullptr) {
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        delete old;
    }
    m_mNameHash.clear();
    m_pRoot = pControl;
    pControl->SetManager(this, nullptr, true);
    m_bUpdateNeeded = true;
    UpdateLayout();
    Invalidate();
    return true;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI*) {
    if (pControl == nullptr)
        return false;
    const std::wstring& name = pControl->GetName();
    if (!name.empty())
        m_mNameHash.emplace(name, pControl);  // the first of a name wins
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (pControl == nullptr)
        return;
    if (m_pFocus == pControl)
        m_pFocus = nullptr;
    if (m_pEventHover == pControl)
        m_pEventHover = nullptr;
    if (m_pEventClick == pControl)
        m_pEventClick = nullptr;
    if (m_pToolTipControl == pControl)
        HideToolTip();
    KillTimer(pControl);
    auto it = m_mNameHash.find(pControl->GetName());
    if (it != m_mNameHash.end() && it->second == pControl)
        m_mNameHash.erase(it);
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* pstrName) const {
    if (pstrName == nullptr)
        return nullptr;
    auto it = m_mNameHash.find(pstrName);
    return it == m_mNameHash.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    const_cast<CPaintManagerUI*>(this)->UpdateLayout();
    return m_pRoot ? m_pRoot->FindControl(pt) : nullptr;
}

void CPaintManagerUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    Invalidate();
}

void CPaintManagerUI::Invalidate() {
    if (m_hWndPaint != nullptr)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rcItem) {
    if (m_hWndPaint != nullptr)
        ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_bUpdateNeeded || m_pRoot == nullptr || m_hWndPaint == nullptr)
        return;
    RECT rc{};
    ::GetClientRect(m_hWndPaint, &rc);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;  // minimised
    m_bUpdateNeeded = false;
    m_pRoot->SetPos(rc, false);
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl != nullptr && m_hWndPaint != nullptr && ::GetFocus() != m_hWndPaint &&
        pControl != m_pFocus)
        ::SetFocus(m_hWndPaint);
    if (pControl == m_pFocus)
        return;
    if (CControlUI* old = m_pFocus) {
        m_pFocus = nullptr;
        old->SetFocusFlag(false);
        TEventUI e = MakeEvent(UIEVENT_KILLFOCUS, old, m_ptLastMousePos);
        old->Event(e);
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (pControl == nullptr || !pControl->IsVisible() || pControl->GetManager() != this)
        return;
    m_pFocus = pControl;
    pControl->SetFocusFlag(true);
    TEventUI e = MakeEvent(UIEVENT_SETFOCUS, pControl, m_ptLastMousePos);
    pControl->Event(e);
    SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
    if (pControl == nullptr || m_hWndPaint == nullptr)
        return false;
    for (TimerInfo& t : m_aTimers) {
        if (t.pSender == pControl && t.nLocalID == nTimerID)
            return ::SetTimer(m_hWndPaint, t.uWinTimer, uElapse, nullptr) != 0;
    }
    const UINT_PTR id = m_uNextTimer++;
    if (::SetTimer(m_hWndPaint, id, uElapse, nullptr) == 0)
        return false;
    m_aTimers.push_back(TimerInfo{pControl, nTimerID, id});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
    for (auto it = m_aTimers.begin(); it != m_aTimers.end(); ++it) {
        if (it->pSender == pControl && it->nLocalID == nTimerID) {
            if (m_hWndPaint != nullptr)
                ::KillTimer(m_hWndPaint, it->uWinTimer);
            m_aTimers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    for (auto it = m_aTimers.begin(); it != m_aTimers.end();) {
        if (it->pSender == pControl) {
            if (m_hWndPaint != nullptr)
                ::KillTimer(m_hWndPaint, it->uWinTimer);
            it = m_aTimers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers() {
    for (const TimerInfo& t : m_aTimers) {
        if (m_hWndPaint != nullptr)
            ::KillTimer(m_hWndPaint, t.uWinTimer);
    }
    m_aTimers.clear();
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
    if (pNotifier == nullptr ||
        std::find(m_aNotifiers.begin(), m_aNotifiers.end(), pNotifier) != m_aNotifiers.end())
        return false;
    m_aNotifiers.push_back(pNotifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    auto it = std::find(m_aNotifiers.begin(), m_aNotifiers.end(), pNotifier);
    if (it == m_aNotifiers.end())
        return false;
    m_aNotifiers.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(NotifyMsg& msg) {
    msg.ptMouse = m_ptLastMousePos;
    msg.dwTimestamp = ::GetTickCount();
    if (msg.pSender != nullptr && msg.pSender->OnNotify)
        msg.pSender->OnNotify(&msg);
    // The notifiers hear of it whatever the delegates returned.
    const std::vector<INotifyUI*> notifiers = m_aNotifiers;
    for (INotifyUI* n : notifiers)
        n->Notify(msg);
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, const wchar_t* pstrMessage, WPARAM wParam,
                                 LPARAM lParam) {
    NotifyMsg msg;
    msg.sType = pstrMessage ? pstrMessage : L"";
    msg.pSender = pControl;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) {
    if (pFilter == nullptr || std::find(m_aPreMessageFilters.begin(), m_aPreMessageFilters.end(),
                                        pFilter) != m_aPreMessageFilters.end())
        return false;
    m_aPreMessageFilters.push_back(pFilter);
    return true;
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter) {
    auto it = std::find(m_aPreMessageFilters.begin(), m_aPreMessageFilters.end(), pFilter);
    if (it == m_aPreMessageFilters.end())
        return false;
    m_aPreMessageFilters.erase(it);
    return true;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    const std::vector<IMessageFilterUI*> filters = m_aPreMessageFilters;
    for (IMessageFilterUI* f : filters) {
        bool handled = false;
        const LRESULT r = f->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::TranslateMessage(const MSG* pMsg) {
    if (pMsg == nullptr || pMsg->hwnd == nullptr)
        return false;
    CPaintManagerUI* pm = ManagerOf(pMsg->hwnd);
    if (pm == nullptr && (::GetWindowLongW(pMsg->hwnd, GWL_STYLE) & WS_CHILD) != 0) {
        pm = ManagerOf(::GetAncestor(pMsg->hwnd, GA_ROOT));
    }
    if (pm == nullptr)
        return false;
    LRESULT lRes = 0;
    return pm->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
}

void CPaintManagerUI::EnsureBackBuffer(int width, int height) {
    if (m_hDcOffscreen != nullptr && m_szOffscreen.cx == width && m_szOffscreen.cy == height)
        return;
    FreeBackBuffer();
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    m_hDcOffscreen = ::CreateCompatibleDC(nullptr);
    if (m_hDcOffscreen == nullptr)
        return;
    m_hbmpOffscreen =
        ::CreateDIBSection(m_hDcOffscreen, &bmi, DIB_RGB_COLORS, &m_pOffscreenBits, nullptr, 0);
    if (m_hbmpOffscreen == nullptr) {
        ::DeleteDC(m_hDcOffscreen);
        m_hDcOffscreen = nullptr;
        return;
    }
    m_hOldBitmap = ::SelectObject(m_hDcOffscreen, m_hbmpOffscreen);
    m_szOffscreen = {width, height};
}

void CPaintManagerUI::FreeBackBuffer() {
    if (m_hDcOffscreen != nullptr) {
        ::SelectObject(m_hDcOffscreen, m_hOldBitmap);
        ::DeleteDC(m_hDcOffscreen);
    }
    if (m_hbmpOffscreen != nullptr)
        ::DeleteObject(m_hbmpOffscreen);
    m_hDcOffscreen = nullptr;
    m_hbmpOffscreen = nullptr;
    m_hOldBitmap = nullptr;
    m_pOffscreenBits = nullptr;
    m_szOffscreen = {};
}

void CPaintManagerUI::PaintTo(HDC hdc, const RECT& rcPaint, int width, int height, void* bits) {
    Gdiplus::Graphics graphics(hdc);
    UIPaintContext ctx;
    ctx.hdc = hdc;
    ctx.graphics = &graphics;
    ctx.manager = this;
    ctx.rcPaint = rcPaint;
    ctx.clip = rcPaint;
    ctx.bits = static_cast<uint32_t*>(bits);
    ctx.bitsWidth = width;
    ctx.bitsHeight = height;
    graphics.SetClip(Gdiplus::Rect(static_cast<INT>(rcPaint.left), static_cast<INT>(rcPaint.top),
                                   static_cast<INT>(rcPaint.right - rcPaint.left),
                                   static_cast<INT>(rcPaint.bottom - rcPaint.top)));
    // Where no control paints, the window is black.
    Render::FillRect(ctx, RECT{0, 0, width, height}, 0xFF000000, SIZE{0, 0});
    if (m_pRoot != nullptr)
        m_pRoot->DoPaint(ctx, rcPaint);
    graphics.Flush(Gdiplus::FlushIntentionSync);
}

bool CPaintManagerUI::RenderToPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
    pixels.clear();
    UpdateLayout();
    const SIZE sz = GetClientSize();
    width = sz.cx;
    height = sz.cy;
    if (width <= 0 || height <= 0)
        return false;
    EnsureBackBuffer(width, height);
    if (m_hDcOffscreen == nullptr)
        return false;
    const RECT all{0, 0, width, height};
    PaintTo(m_hDcOffscreen, all, width, height, m_pOffscreenBits);
    ::GdiFlush();
    const uint32_t* bits = static_cast<const uint32_t*>(m_pOffscreenBits);
    pixels.assign(bits, bits + static_cast<size_t>(width) * static_cast<size_t>(height));
    return true;
}

void CPaintManagerUI::UpdateHot(CControlUI* pNewHover, POINT pt, DWORD) {
    if (pNewHover == m_pEventHover)
        return;
    if (CControlUI* old = m_pEventHover) {
        m_pEventHover = nullptr;
        TEventUI e = MakeEvent(UIEVENT_MOUSELEAVE, old, pt);
        old->Event(e);
    }
    HideToolTip();
    m_pEventHover = pNewHover;
    if (pNewHover != nullptr) {
        TEventUI e = MakeEvent(UIEVENT_MOUSEENTER, pNewHover, pt);
        pNewHover->Event(e);
    }
}

void CPaintManagerUI::ShowToolTip(CControlUI* pControl) {
    if (pControl == nullptr || pControl->GetToolTip().empty() || m_hWndPaint == nullptr)
        return;
    if (m_pToolTipControl == pControl)
        return;
    if (m_hwndTooltip == nullptr) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_hwndTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                          nullptr, GetInstance(), nullptr);
        if (m_hwndTooltip == nullptr)
            return;
        m_ToolTip = TOOLINFOW{};
        m_ToolTip.cbSize = TTTOOLINFOW_V2_SIZE;
        m_ToolTip.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
        m_ToolTip.hwnd = m_hWndPaint;
        m_ToolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
        m_ToolTip.hinst = GetInstance();
        m_ToolTip.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
        ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    m_pToolTipControl = pControl;
    m_sToolTipText = pControl->GetToolTip();
    m_ToolTip.lpszText = const_cast<wchar_t*>(m_sToolTipText.c_str());
    m_ToolTip.rect = pControl->GetPos();
    ::SendMessageW(m_hwndTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
    POINT pt = m_ptLastMousePos;
    ::ClientToScreen(m_hWndPaint, &pt);
    ::SendMessageW(m_hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + 12, pt.y + 20));
    ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_ToolTip));
}

void CPaintManagerUI::HideToolTip() {
    if (m_hwndTooltip != nullptr && m_pToolTipControl != nullptr)
        ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE,
                       reinterpret_cast<LPARAM>(&m_ToolTip));
    m_pToolTipControl = nullptr;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    switch (uMsg) {
        case WM_ERASEBKGND:
            lRes = 1;
            return true;
        case WM_PAINT: {
            UpdateLayout();
            PAINTSTRUCT ps;
            HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
            const SIZE sz = GetClientSize();
            if (hdc != nullptr && sz.cx > 0 && sz.cy > 0 && !::IsRectEmpty(&ps.rcPaint)) {
                EnsureBackBuffer(sz.cx, sz.cy);
                if (m_hDcOffscreen != nullptr) {
                    PaintTo(m_hDcOffscreen, ps.rcPaint, sz.cx, sz.cy, m_pOffscreenBits);
                    ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top,
                             ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
                             m_hDcOffscreen, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
                }
            }
            ::EndPaint(m_hWndPaint, &ps);
            lRes = 0;
            return true;
        }
        case WM_PRINTCLIENT: {
            std::vector<uint32_t> pixels;
            int w = 0, h = 0;
            if (RenderToPixels(pixels, w, h) && m_hDcOffscreen != nullptr)
                ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, w, h, m_hDcOffscreen, 0, 0, SRCCOPY);
            lRes = 0;
            return true;
        }
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                FreeBackBuffer();
                NeedUpdate();
            }
            return false;
        case WM_TIMER: {
            for (const TimerInfo& t : m_aTimers) {
                if (t.uWinTimer == wParam) {
                    const TimerInfo copy = t;  // the handler may change the list
                    TEventUI e = MakeEvent(UIEVENT_TIMER, copy.pSender, m_ptLastMousePos,
                                           copy.nLocalID, lParam);
                    copy.pSender->Event(e);
                    lRes = 0;
                    return true;
                }
            }
            return false;
        }
        case WM_MOUSEMOVE: {
            if (!m_bMouseTracking) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_HOVER, m_hWndPaint, HOVER_DEFAULT};
                ::TrackMouseEvent(&tme);
                m_bMouseTracking = true;
            }
            const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            m_ptLastMousePos = pt;
            CControlUI* control = FindControl(pt);
            UpdateHot(control, pt, ::GetTickCount());
            CControlUI* target = m_pEventClick ? m_pEventClick : control;
            if (target != nullptr) {
                TEventUI e = MakeEvent(UIEVENT_MOUSEMOVE, target, pt, wParam, lParam);
                target->Event(e);
            }
            lRes = 0;
            return true;
        }
        case WM_MOUSELEAVE: {
            m_bMouseTracking = false;
            HideToolTip();
            if (m_pEventClick == nullptr)
                UpdateHot(nullptr, m_ptLastMousePos, ::GetTickCount());
            return false;
        }
        case WM_MOUSEHOVER: {
            m_bMouseTracking = false;  // the next move asks for hover again
            const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            m_ptLastMousePos = pt;
            if (CControlUI* control = FindControl(pt))
                ShowToolTip(control);
            return false;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            ::SetFocus(m_hWndPaint);
            const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            m_ptLastMousePos = pt;
            HideToolTip();
            CControlUI* control = FindControl(pt);
            if (control == nullptr)
                return false;
            m_pEventClick = control;
            control->SetFocus();
            if (m_pEventClick != control)
                return true;  // the focus change took it away
            ::SetCapture(m_hWndPaint);
            TEventUI e = MakeEvent(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK,
                                   control, pt, wParam, lParam);
            control->Event(e);
            lRes = 0;
            return true;
        }
        case WM_LBUTTONUP: {
            const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            m_ptLastMousePos = pt;
            CControlUI* control = m_pEventClick;
            m_pEventClick = nullptr;
            if (::GetCapture() == m_hWndPaint)
                ::ReleaseCapture();
            if (control == nullptr)
                return false;
            TEventUI e = MakeEvent(UIEVENT_BUTTONUP, control, pt, wParam, lParam);
            control->Event(e);
            lRes = 0;
            return true;
        }
        case WM_SETCURSOR: {
            if (LOWORD(lParam) != HTCLIENT)
                return false;
            POINT pt;
            ::GetCursorPos(&pt);
            ::ScreenToClient(m_hWndPaint, &pt);
            CControlUI* control = FindControl(pt);
            if (control == nullptr || (control->GetControlFlags() & UIFLAG_SETCURSOR) == 0)
                return false;
            TEventUI e = MakeEvent(UIEVENT_SETCURSOR, control, pt, wParam, lParam);
            control->Event(e);
            lRes = TRUE;
            return true;
        }
        case WM_KEYDOWN:
        case WM_CHAR: {
            if (m_pFocus == nullptr)
                return false;
            TEventUI e = MakeEvent(uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : UIEVENT_CHAR, m_pFocus,
                                   m_ptLastMousePos, wParam, lParam);
            e.chKey = static_cast<wchar_t>(wParam);
            m_pFocus->Event(e);
            return false;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            CEditWnd* edit = CEditWnd::FromHandle(reinterpret_cast<HWND>(lParam));
            if (edit == nullptr)
                return false;
            lRes = reinterpret_cast<LRESULT>(edit->ColorEdit(reinterpret_cast<HDC>(wParam)));
            return true;
        }
        case WM_DESTROY:
            RemoveAllTimers();
            HideToolTip();
            UnregisterManager(this);
            return false;
        default:
            return false;
    }
}

}  // namespace DuiLib
