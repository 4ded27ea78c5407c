#include "ui/paintmanager.h"

#include <oleacc.h>

#include <windowsx.h>

#include <algorithm>
#include <mutex>

#include "ui/accessibility/accessibleclient.h"
#include "ui/accessibility/accessibleelements.h"
#include "ui/imagedecoder.h"
#include "ui/attributes.h"
#include "ui/control.h"
#include "ui/nativeedit.h"
#include "ui/gdiplusapi.h"
#include "ui/renderer.h"

namespace TavroLib {
namespace {

constexpr int kMaxFonts = 256;
constexpr int kMaxFontSize = 500;
constexpr int kToolTipWidth = 400;
// The focus mark: the outline colour of the skin's edit, two units out.
constexpr DWORD kFocusMarkColor = 0xFF4492DF;
constexpr int kFocusMarkGap = 2;

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
        if (pm->GetHostWindow() == hWnd)
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

void MeasureFont(FontInfo& info) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, info.handle);
    ::GetTextMetricsW(dc, &info.metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
}

ControlEvent MakeEvent(InputEvent type, CControlUI* sender, POINT pt, WPARAM wParam = 0,
                       LPARAM lParam = 0) {
    ControlEvent e;
    e.type = type;
    e.sender = sender;
    e.timestamp = ::GetTickCount();
    e.mouse = pt;
    e.wParam = wParam;
    e.lParam = lParam;
    return e;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
    ReleaseAccessible();
    UnregisterManager(this);
    RemoveAllTimers();
    HideToolTip();
    if (m_toolTipWnd != nullptr && ::IsWindow(m_toolTipWnd))
        ::DestroyWindow(m_toolTipWnd);
    CControlUI* root = m_root;
    m_root = nullptr;
    delete root;
    m_byName.clear();
    FreeBackBuffer();
    FreeFonts();
}

HINSTANCE CPaintManagerUI::GetModule() {
    std::lock_guard<std::mutex> lock(G().lock);
    return G().instance ? G().instance : ::GetModuleHandleW(nullptr);
}

void CPaintManagerUI::SetModule(HINSTANCE module) {
    std::lock_guard<std::mutex> lock(G().lock);
    G().instance = module;
}

std::wstring CPaintManagerUI::GetModuleFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(GetModule(), &path[0], static_cast<DWORD>(path.size()));
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

std::wstring CPaintManagerUI::GetResourceFolder() {
    std::lock_guard<std::mutex> lock(G().lock);
    return G().resourcePath;
}

void CPaintManagerUI::SetResourceFolder(const wchar_t* folder) {
    std::wstring path = folder ? folder : L"";
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    std::lock_guard<std::mutex> lock(G().lock);
    G().resourcePath = path;
}

void CPaintManagerUI::BindWindow(HWND hWnd) {
    if (m_window != hWnd) {
        m_window = hWnd;
        RegisterManager(this);
    }
    EnsureGdiplus();
    if (hWnd != nullptr)
        SetDpi(WindowDpi(hWnd));
}

void CPaintManagerUI::SetDpi(int dpi) {
    const DpiScale scale(dpi);
    if (scale.Dpi() == m_scale.Dpi())
        return;
    m_scale = scale;
    for (auto& f : m_fonts) {
        // A font that cannot be made at the new size keeps the old one.
        FontInfo fresh = *f;
        if (MakeFont(fresh)) {
            ::DeleteObject(f->handle);
            *f = fresh;
        }
    }
    if (m_systemFont && m_systemFont->handle)
        ::DeleteObject(m_systemFont->handle);
    m_systemFont.reset();
    if (m_toolTipWnd != nullptr) {
        const FontInfo* font = GetFontAt(m_defaultFont) ? GetFontAt(m_defaultFont) : GetFontAt(0);
        if (font != nullptr && font->handle != nullptr)
            ::SendMessageW(m_toolTipWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font->handle), FALSE);
        ::SendMessageW(m_toolTipWnd, TTM_SETMAXTIPWIDTH, 0, m_scale.ToDevice(kToolTipWidth));
    }
    m_scaledImages.Clear();
    FreeBackBuffer();
    if (m_root != nullptr) {
        m_root->ForEach(
            [](CControlUI* c, void*) {
                c->OnScaleChanged();
                return true;
            },
            nullptr);
    }
    RequestLayout();
}

POINT CPaintManagerUI::ClientPoint(LPARAM lParam) const {
    return m_scale.ToLogical(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
}

bool CPaintManagerUI::IsWindowThread() const {
    HWND hWnd = m_window;
    if (hWnd == nullptr || !::IsWindow(hWnd))
        return true;
    return ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
}

bool CPaintManagerUI::PostToWindowThread(WindowTask task, const char* name) {
    if (!m_taskPoster || !task)
        return false;
    return m_taskPoster(std::move(task), name);
}

bool CPaintManagerUI::HoldsControl(const CControlUI* control) const {
    if (control == nullptr || m_root == nullptr)
        return false;
    struct Search {
        const CControlUI* wanted;
        bool found;
    } search{control, false};
    m_root->ForEach(
        [](CControlUI* c, void* data) {
            auto* s = static_cast<Search*>(data);
            if (c == s->wanted)
                s->found = true;
            return !s->found;
        },
        &search);
    return search.found;
}

SIZE CPaintManagerUI::GetClientSize() const {
    RECT rc{};
    if (m_window != nullptr)
        ::GetClientRect(m_window, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CPaintManagerUI::SetInitialSize(int cx, int cy) {
    m_initialSize.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_initialSize.cy = std::clamp(cy, 0, kMaxWindowExtent);
    if (m_root == nullptr && m_window != nullptr && m_initialSize.cx > 0 && m_initialSize.cy > 0) {
        const SIZE pixels = m_scale.ToDevice(m_initialSize);
        ::SetWindowPos(m_window, nullptr, 0, 0, pixels.cx, pixels.cy,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void CPaintManagerUI::SetCornerSize(int cx, int cy) {
    m_cornerSize.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_cornerSize.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

void CPaintManagerUI::SetMinimumSize(int cx, int cy) {
    m_minSize.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_minSize.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

void CPaintManagerUI::SetMaximumSize(int cx, int cy) {
    m_maxSize.cx = std::clamp(cx, 0, kMaxWindowExtent);
    m_maxSize.cy = std::clamp(cy, 0, kMaxWindowExtent);
}

int CPaintManagerUI::AddFont(const wchar_t* face, int size, bool bold, bool underline,
                             bool italic) {
    if (GetFontCount() >= kMaxFonts)
        return -1;
    LOGFONTW lf = SystemLogFont();
    if (face != nullptr && *face != 0) {
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    if (size > 0)
        lf.lfHeight = -std::min(size, kMaxFontSize);
    if (bold)
        lf.lfWeight = FW_BOLD;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfQuality = ANTIALIASED_QUALITY;
    auto info = std::make_unique<FontInfo>();
    info->layoutFont = lf;
    info->face = lf.lfFaceName;
    info->pixelSize = -lf.lfHeight;
    info->bold = bold;
    info->underline = underline;
    info->italic = italic;
    if (!MakeFont(*info))
        return -1;
    m_fonts.push_back(std::move(info));
    return GetFontCount() - 1;
}

bool CPaintManagerUI::MakeFont(FontInfo& info) const {
    LOGFONTW lf = info.layoutFont;
    // Heights in pixels of the window's DPI; a character height stays negative.
    lf.lfHeight =
        lf.lfHeight < 0 ? -m_scale.ToDeviceWidth(-lf.lfHeight) : m_scale.ToDeviceWidth(lf.lfHeight);
    HFONT font = ::CreateFontIndirectW(&lf);
    if (font == nullptr)
        return false;
    info.handle = font;
    MeasureFont(info);
    return true;
}

const FontInfo* CPaintManagerUI::GetFontAt(int index) const {
    if (index < 0 || index >= GetFontCount())
        return nullptr;
    return m_fonts[static_cast<size_t>(index)].get();
}

void CPaintManagerUI::SetDefaultFont(int index) {
    if (index >= 0 && index < GetFontCount())
        m_defaultFont = index;
}

const FontInfo* CPaintManagerUI::ResolveFont(int index) {
    if (const FontInfo* f = GetFontAt(index))
        return f;
    if (const FontInfo* f = GetFontAt(m_defaultFont))
        return f;
    if (!m_systemFont) {
        LOGFONTW lf = SystemLogFont();
        auto info = std::make_unique<FontInfo>();
        info->handle = ::CreateFontIndirectW(&lf);
        if (info->handle == nullptr)
            return nullptr;
        info->face = lf.lfFaceName;
        info->pixelSize = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        MeasureFont(*info);
        m_systemFont = std::move(info);
    }
    return m_systemFont.get();
}

HFONT CPaintManagerUI::GetFont(int index) {
    const FontInfo* f = ResolveFont(index);
    return f ? f->handle : nullptr;
}

void CPaintManagerUI::FreeFonts() {
    for (auto& f : m_fonts) {
        if (f->handle)
            ::DeleteObject(f->handle);
    }
    m_fonts.clear();
    if (m_systemFont && m_systemFont->handle)
        ::DeleteObject(m_systemFont->handle);
    m_systemFont.reset();
}

bool CPaintManagerUI::SetRoot(CControlUI* control) {
    if (control == nullptr)
        return false;
    SetFocus(nullptr);
    m_hover = m_pressed = m_toolTipControl = nullptr;
    if (m_root != nullptr) {
        CControlUI* old = m_root;
        m_root = nullptr;
        delete old;
    }
    m_byName.clear();
    m_root = control;
    control->AttachTo(this, nullptr, true);
    m_layoutNeeded = true;
    UpdateLayout();
    Invalidate();
    return true;
}

bool CPaintManagerUI::RegisterControl(CControlUI* control, CControlUI*) {
    if (control == nullptr)
        return false;
    const std::wstring& name = control->GetName();
    if (!name.empty())
        m_byName.emplace(name, control);  // the first of a name wins
    return true;
}

void CPaintManagerUI::ForgetControl(CControlUI* control) {
    if (control == nullptr)
        return;
    if (m_focus == control)
        m_focus = nullptr;
    m_accEvents.Forget(control);
    if (m_hover == control)
        m_hover = nullptr;
    if (m_pressed == control)
        m_pressed = nullptr;
    if (m_toolTipControl == control)
        HideToolTip();
    KillTimer(control);
    auto it = m_byName.find(control->GetName());
    if (it != m_byName.end() && it->second == control)
        m_byName.erase(it);
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    if (name == nullptr)
        return nullptr;
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    const_cast<CPaintManagerUI*>(this)->UpdateLayout();
    return m_root ? m_root->FindControl(pt) : nullptr;
}

void CPaintManagerUI::RequestLayout() {
    m_layoutNeeded = true;
    Invalidate();
}

void CPaintManagerUI::Invalidate() {
    if (m_window != nullptr)
        ::InvalidateRect(m_window, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (m_window == nullptr)
        return;
    const RECT pixels = m_scale.ToDevice(rc);
    ::InvalidateRect(m_window, &pixels, FALSE);
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_layoutNeeded || m_root == nullptr || m_window == nullptr)
        return;
    RECT rc{};
    ::GetClientRect(m_window, &rc);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;  // minimised
    m_layoutNeeded = false;
    m_root->SetPos(m_scale.ToLogicalCover(rc), false);
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control != nullptr && m_window != nullptr && ::GetFocus() != m_window && control != m_focus)
        ::SetFocus(m_window);
    if (control == m_focus)
        return;
    InvalidateFocusMark();
    if (CControlUI* old = m_focus) {
        m_focus = nullptr;
        old->SetFocusFlag(false);
        ControlEvent e = MakeEvent(InputEvent::KillFocus, old, m_lastMouse);
        old->Event(e);
        SendNotification(old, kNotifyKillFocus);
    }
    if (control == nullptr || !control->IsVisible() || control->GetPaintManager() != this)
        return;
    m_focus = control;
    control->SetFocusFlag(true);
    InvalidateFocusMark();
    QueueAccessibleEvent(control, AccessibleChange::Focus);
    ControlEvent e = MakeEvent(InputEvent::SetFocus, control, m_lastMouse);
    control->Event(e);
    SendNotification(control, kNotifySetFocus);
}

void CPaintManagerUI::FocusByKeyboard(CControlUI* control) {
    if (control == nullptr)
        return;
    if (!m_focusMark) {
        m_focusMark = true;
        InvalidateFocusMark();
    }
    SetFocus(control);
    if (m_focus == control)
        control->OnKeyboardFocus();
}

bool CPaintManagerUI::MoveFocusByKey(bool backward) {
    CControlUI* next = NextFocusStop(m_root, m_focus, backward);
    if (next == nullptr)
        return false;
    FocusByKeyboard(next);
    return true;
}

void CPaintManagerUI::QueueAccessibleEvent(CControlUI* control, AccessibleChange change) {
    if (control != nullptr && m_window != nullptr)
        m_accEvents.Add(control, change);
}

RECT CPaintManagerUI::FocusMarkRect(const CControlUI* control) const {
    RECT rc = control->GetPos();
    ::InflateRect(&rc, kFocusMarkGap + 1, kFocusMarkGap + 1);
    return rc;
}

void CPaintManagerUI::InvalidateFocusMark() {
    if (m_focusMark && m_focus != nullptr) {
        RECT rc = FocusMarkRect(m_focus);
        ::InflateRect(&rc, 1, 1);  // the outline's smoothed edge
        Invalidate(rc);
    }
}

void CPaintManagerUI::PaintFocusMark(PaintContext& ctx) {
    if (!m_focusMark || m_focus == nullptr || !m_focus->IsShown() ||
        !m_focus->IsKeyboardFocusable())
        return;
    // The skin's outline colour, a little outside the control.
    Render::DrawBorder(ctx, FocusMarkRect(m_focus), 1, kFocusMarkColor, SIZE{4, 4});
}

LRESULT CPaintManagerUI::AnswerAccessibleObject(WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || m_window == nullptr)
        return 0;
    if (m_accessible == nullptr)
        m_accessible = new AccessibleClient(m_window, this);
    const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), wParam, m_accessible);
    // Without COM on this thread the system's plain object answers instead.
    handled = result >= 0;
    return result;
}

void CPaintManagerUI::ReleaseAccessible() {
    if (m_accessible == nullptr)
        return;
    AccessibleClient* object = m_accessible;
    m_accessible = nullptr;
    object->Detach();
    ::CoDisconnectObject(object, 0);
    object->Release();
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse) {
    if (control == nullptr || m_window == nullptr)
        return false;
    for (TimerInfo& t : m_timers) {
        if (t.control == control && t.localId == timerId)
            return ::SetTimer(m_window, t.systemId, elapse, nullptr) != 0;
    }
    const UINT_PTR id = m_nextTimerId++;
    if (::SetTimer(m_window, id, elapse, nullptr) == 0)
        return false;
    m_timers.push_back(TimerInfo{control, timerId, id});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timerId) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->control == control && it->localId == timerId) {
            if (m_window != nullptr)
                ::KillTimer(m_window, it->systemId);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->control == control) {
            if (m_window != nullptr)
                ::KillTimer(m_window, it->systemId);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers() {
    for (const TimerInfo& t : m_timers) {
        if (m_window != nullptr)
            ::KillTimer(m_window, t.systemId);
    }
    m_timers.clear();
}

bool CPaintManagerUI::AddListener(INotifyUI* listener) {
    if (listener == nullptr ||
        std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
        return false;
    m_listeners.push_back(listener);
    return true;
}

bool CPaintManagerUI::RemoveListener(INotifyUI* listener) {
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it == m_listeners.end())
        return false;
    m_listeners.erase(it);
    return true;
}

void CPaintManagerUI::SendNotification(NotifyMsg& msg) {
    msg.mouse = m_lastMouse;
    msg.timestamp = ::GetTickCount();
    if (msg.sender != nullptr && msg.sender->OnNotify)
        msg.sender->OnNotify(&msg);
    // The listeners hear of it whatever the delegates returned.
    const std::vector<INotifyUI*> listeners = m_listeners;
    for (INotifyUI* n : listeners)
        n->Notify(msg);
}

void CPaintManagerUI::SendNotification(CControlUI* control, const wchar_t* type, WPARAM wParam,
                                       LPARAM lParam) {
    NotifyMsg msg;
    msg.type = type ? type : L"";
    msg.sender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotification(msg);
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter == nullptr ||
        std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end())
        return false;
    m_filters.push_back(filter);
    return true;
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
    auto it = std::find(m_filters.begin(), m_filters.end(), filter);
    if (it == m_filters.end())
        return false;
    m_filters.erase(it);
    return true;
}

bool CPaintManagerUI::FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    const std::vector<IMessageFilterUI*> filters = m_filters;
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

bool CPaintManagerUI::PreTranslate(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr)
        return false;
    CPaintManagerUI* pm = ManagerOf(msg->hwnd);
    if (pm == nullptr && (::GetWindowLongW(msg->hwnd, GWL_STYLE) & WS_CHILD) != 0) {
        pm = ManagerOf(::GetAncestor(msg->hwnd, GA_ROOT));
    }
    if (pm == nullptr)
        return false;
    LRESULT lRes = 0;
    if (pm->FilterMessage(msg->message, msg->wParam, msg->lParam, lRes))
        return true;
    // Tab moves between the controls, from the edit's own window as well.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 &&
        ::GetKeyState(VK_MENU) >= 0)
        return pm->MoveFocusByKey(::GetKeyState(VK_SHIFT) < 0);
    return false;
}

void CPaintManagerUI::EnsureBackBuffer(int width, int height) {
    if (m_bufferDC != nullptr && m_bufferSize.cx == width && m_bufferSize.cy == height)
        return;
    FreeBackBuffer();
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    m_bufferDC = ::CreateCompatibleDC(nullptr);
    if (m_bufferDC == nullptr)
        return;
    m_bufferBitmap =
        ::CreateDIBSection(m_bufferDC, &bmi, DIB_RGB_COLORS, &m_bufferBits, nullptr, 0);
    if (m_bufferBitmap == nullptr) {
        ::DeleteDC(m_bufferDC);
        m_bufferDC = nullptr;
        return;
    }
    m_bufferOldBitmap = ::SelectObject(m_bufferDC, m_bufferBitmap);
    m_bufferSize = {width, height};
}

void CPaintManagerUI::FreeBackBuffer() {
    if (m_bufferDC != nullptr) {
        ::SelectObject(m_bufferDC, m_bufferOldBitmap);
        ::DeleteDC(m_bufferDC);
    }
    if (m_bufferBitmap != nullptr)
        ::DeleteObject(m_bufferBitmap);
    m_bufferDC = nullptr;
    m_bufferBitmap = nullptr;
    m_bufferOldBitmap = nullptr;
    m_bufferBits = nullptr;
    m_bufferSize = {};
}

void CPaintManagerUI::PaintTo(HDC hdc, const RECT& rcPaint, int width, int height, void* bits) {
    Gdiplus::Graphics graphics(hdc);
    PaintContext ctx;
    ctx.hdc = hdc;
    ctx.graphics = &graphics;
    ctx.manager = this;
    ctx.rcPaint = rcPaint;
    ctx.clip = rcPaint;
    ctx.bits = static_cast<uint32_t*>(bits);
    ctx.bitsWidth = width;
    ctx.bitsHeight = height;
    ctx.scale = m_scale;
    ctx.images = &m_scaledImages;
    graphics.SetClip(Gdiplus::Rect(static_cast<INT>(rcPaint.left), static_cast<INT>(rcPaint.top),
                                   static_cast<INT>(rcPaint.right - rcPaint.left),
                                   static_cast<INT>(rcPaint.bottom - rcPaint.top)));
    // Where no control paints, the window is black.
    Render::FillRect(ctx, m_scale.ToLogicalCover(RECT{0, 0, width, height}), 0xFF000000,
                     SIZE{0, 0});
    if (m_root != nullptr)
        m_root->Paint(ctx, m_scale.ToLogicalCover(rcPaint));
    PaintFocusMark(ctx);
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
    if (m_bufferDC == nullptr)
        return false;
    const RECT all{0, 0, width, height};
    PaintTo(m_bufferDC, all, width, height, m_bufferBits);
    ::GdiFlush();
    const uint32_t* bits = static_cast<const uint32_t*>(m_bufferBits);
    pixels.assign(bits, bits + static_cast<size_t>(width) * static_cast<size_t>(height));
    return true;
}

void CPaintManagerUI::UpdateHot(CControlUI* pNewHover, POINT pt, DWORD) {
    if (pNewHover == m_hover)
        return;
    if (CControlUI* old = m_hover) {
        m_hover = nullptr;
        ControlEvent e = MakeEvent(InputEvent::MouseLeave, old, pt);
        old->Event(e);
    }
    HideToolTip();
    m_hover = pNewHover;
    if (pNewHover != nullptr) {
        ControlEvent e = MakeEvent(InputEvent::MouseEnter, pNewHover, pt);
        pNewHover->Event(e);
    }
}

void CPaintManagerUI::ShowToolTip(CControlUI* control) {
    if (control == nullptr || control->GetToolTip().empty() || m_window == nullptr)
        return;
    if (m_toolTipControl == control)
        return;
    if (m_toolTipWnd == nullptr) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_toolTipWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window,
                                         nullptr, GetModule(), nullptr);
        if (m_toolTipWnd == nullptr)
            return;
        m_toolInfo = TOOLINFOW{};
        m_toolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
        m_toolInfo.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
        m_toolInfo.hwnd = m_window;
        m_toolInfo.uId = reinterpret_cast<UINT_PTR>(m_window);
        m_toolInfo.hinst = GetModule();
        m_toolInfo.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_toolTipWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
        ::SendMessageW(m_toolTipWnd, TTM_SETMAXTIPWIDTH, 0, m_scale.ToDevice(kToolTipWidth));
        // The layout's face, not the system's: its texts are written for it
        // (the system font may lack their characters).
        const FontInfo* font = GetFontAt(m_defaultFont);
        if (font == nullptr)
            font = GetFontAt(0);
        if (font != nullptr && font->handle != nullptr) {
            ::SendMessageW(m_toolTipWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font->handle), FALSE);
        }
    }
    m_toolTipControl = control;
    m_toolTipText = control->GetToolTip();
    m_toolInfo.lpszText = const_cast<wchar_t*>(m_toolTipText.c_str());
    m_toolInfo.rect = m_scale.ToDevice(control->GetPos());
    ::SendMessageW(m_toolTipWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    // Below and to the right of the pointer, clear of it.
    POINT pt{m_scale.ToDevice(m_lastMouse.x + 12), m_scale.ToDevice(m_lastMouse.y + 20)};
    ::ClientToScreen(m_window, &pt);
    ::SendMessageW(m_toolTipWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x, pt.y));
    ::SendMessageW(m_toolTipWnd, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_toolInfo));
}

void CPaintManagerUI::HideToolTip() {
    if (m_toolTipWnd != nullptr && m_toolTipControl != nullptr)
        ::SendMessageW(m_toolTipWnd, TTM_TRACKACTIVATE, FALSE,
                       reinterpret_cast<LPARAM>(&m_toolInfo));
    m_toolTipControl = nullptr;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_window == nullptr)
        return false;
    switch (uMsg) {
        case WM_ERASEBKGND:
            lRes = 1;
            return true;
        case WM_PAINT: {
            UpdateLayout();
            PAINTSTRUCT ps;
            HDC hdc = ::BeginPaint(m_window, &ps);
            const SIZE sz = GetClientSize();
            if (hdc != nullptr && sz.cx > 0 && sz.cy > 0 && !::IsRectEmpty(&ps.rcPaint)) {
                EnsureBackBuffer(sz.cx, sz.cy);
                if (m_bufferDC != nullptr) {
                    PaintTo(m_bufferDC, ps.rcPaint, sz.cx, sz.cy, m_bufferBits);
                    ::BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top,
                             ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
                             m_bufferDC, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
                }
            }
            ::EndPaint(m_window, &ps);
            m_accEvents.Flush(m_window, m_root);
            lRes = 0;
            return true;
        }
        case WM_GETOBJECT: {
            bool handled = false;
            lRes = AnswerAccessibleObject(wParam, lParam, handled);
            return handled;
        }
        case WM_SHOWWINDOW:
            if (wParam != 0 && m_dialogWindow)
                ::NotifyWinEvent(EVENT_SYSTEM_DIALOGSTART, m_window, OBJID_WINDOW, CHILDID_SELF);
            return false;
        case WM_PRINTCLIENT: {
            std::vector<uint32_t> pixels;
            int w = 0, h = 0;
            if (RenderToPixels(pixels, w, h) && m_bufferDC != nullptr)
                ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, w, h, m_bufferDC, 0, 0, SRCCOPY);
            lRes = 0;
            return true;
        }
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                FreeBackBuffer();
                RequestLayout();
            }
            return false;
        case WM_TIMER: {
            for (const TimerInfo& t : m_timers) {
                if (t.systemId == wParam) {
                    const TimerInfo copy = t;  // the handler may change the list
                    ControlEvent e = MakeEvent(InputEvent::Timer, copy.control, m_lastMouse,
                                               copy.localId, lParam);
                    copy.control->Event(e);
                    lRes = 0;
                    return true;
                }
            }
            return false;
        }
        case WM_MOUSEMOVE: {
            if (!m_trackingMouse) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_HOVER, m_window, HOVER_DEFAULT};
                ::TrackMouseEvent(&tme);
                m_trackingMouse = true;
            }
            const POINT pt = ClientPoint(lParam);
            m_lastMouse = pt;
            CControlUI* control = FindControl(pt);
            UpdateHot(control, pt, ::GetTickCount());
            CControlUI* target = m_pressed ? m_pressed : control;
            if (target != nullptr) {
                ControlEvent e = MakeEvent(InputEvent::MouseMove, target, pt, wParam, lParam);
                target->Event(e);
            }
            lRes = 0;
            return true;
        }
        case WM_MOUSELEAVE: {
            m_trackingMouse = false;
            HideToolTip();
            if (m_pressed == nullptr)
                UpdateHot(nullptr, m_lastMouse, ::GetTickCount());
            return false;
        }
        case WM_MOUSEHOVER: {
            m_trackingMouse = false;  // the next move asks for hover again
            const POINT pt = ClientPoint(lParam);
            m_lastMouse = pt;
            if (CControlUI* control = FindControl(pt))
                ShowToolTip(control);
            return false;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            if (m_focusMark) {
                InvalidateFocusMark();
                m_focusMark = false;  // a mouse user sees the skin as it is
            }
            ::SetFocus(m_window);
            const POINT pt = ClientPoint(lParam);
            m_lastMouse = pt;
            HideToolTip();
            CControlUI* control = FindControl(pt);
            if (control == nullptr)
                return false;
            m_pressed = control;
            control->SetFocus();
            if (m_pressed != control)
                return true;  // the focus change took it away
            ::SetCapture(m_window);
            ControlEvent e =
                MakeEvent(uMsg == WM_LBUTTONDOWN ? InputEvent::ButtonDown : InputEvent::DoubleClick,
                          control, pt, wParam, lParam);
            control->Event(e);
            lRes = 0;
            return true;
        }
        case WM_LBUTTONUP: {
            const POINT pt = ClientPoint(lParam);
            m_lastMouse = pt;
            CControlUI* control = m_pressed;
            m_pressed = nullptr;
            if (::GetCapture() == m_window)
                ::ReleaseCapture();
            if (control == nullptr)
                return false;
            ControlEvent e = MakeEvent(InputEvent::ButtonUp, control, pt, wParam, lParam);
            control->Event(e);
            lRes = 0;
            return true;
        }
        case WM_SETCURSOR: {
            if (LOWORD(lParam) != HTCLIENT)
                return false;
            POINT pt;
            ::GetCursorPos(&pt);
            ::ScreenToClient(m_window, &pt);
            pt = m_scale.ToLogical(pt);
            CControlUI* control = FindControl(pt);
            if (control == nullptr || (control->GetInputFlags() & kSetsCursor) == 0)
                return false;
            ControlEvent e = MakeEvent(InputEvent::SetCursor, control, pt, wParam, lParam);
            control->Event(e);
            lRes = TRUE;
            return true;
        }
        case WM_KEYDOWN:
        case WM_CHAR: {
            if (m_focus == nullptr)
                return false;
            ControlEvent e = MakeEvent(uMsg == WM_KEYDOWN ? InputEvent::KeyDown : InputEvent::Char,
                                       m_focus, m_lastMouse, wParam, lParam);
            e.key = static_cast<wchar_t>(wParam);
            m_focus->Event(e);
            return false;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            CNativeEdit* edit = CNativeEdit::FromHandle(reinterpret_cast<HWND>(lParam));
            if (edit == nullptr)
                return false;
            lRes = reinterpret_cast<LRESULT>(edit->ColorEdit(reinterpret_cast<HDC>(wParam)));
            return true;
        }
        case WM_DESTROY:
            ReleaseAccessible();
            RemoveAllTimers();
            HideToolTip();
            UnregisterManager(this);
            return false;
        default:
            return false;
    }
}

}  // namespace TavroLib
