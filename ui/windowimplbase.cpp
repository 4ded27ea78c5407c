#define VORN_LOG_SOURCE L"windowimplbase.cpp"
#include "ui/windowimplbase.h"

#include <windowsx.h>

#include "ui/control.h"
#include "ui/dialogbuilder.h"
#include "ui/resources.h"
#include "ui/zipresource.h"
#include "util/logger.h"

namespace TavroLib {
namespace {

const wchar_t kArchiveName[] = L"membuffer";
const wchar_t kLoadFailedText[] = L"加载资源文件失败";

// Opens the skin archive stored as a "ZIPRES" resource unless it is open
// already; false when it is missing, empty or no readable zip archive.
bool OpenResourceArchive(const wchar_t* resourceId) {
    CZipResource& zip = CZipResource::Instance();
    if (zip.IsOpen() && zip.Name() == kArchiveName)
        return true;
    if (resourceId == nullptr || (!IS_INTRESOURCE(resourceId) && *resourceId == 0))
        return false;
    HINSTANCE inst = CPaintManagerUI::GetModule();
    HRSRC res = ::FindResourceW(inst, resourceId, L"ZIPRES");
    if (res == nullptr)
        return false;
    const DWORD size = ::SizeofResource(inst, res);
    HGLOBAL global = ::LoadResource(inst, res);
    const void* data = global ? ::LockResource(global) : nullptr;
    if (data == nullptr || size == 0)
        return false;
    // The archive keeps its own copy of the bytes.
    return zip.OpenMemory(kArchiveName, data, size);
}

}  // namespace

const CNotifyPump::HandlerEntry WindowImplBase::handlerEntries[] = {
    {kNotifyClick, static_cast<CNotifyPump::Handler>(&WindowImplBase::OnClickEntry)},
    {nullptr, nullptr},
};
const CNotifyPump::HandlerTable WindowImplBase::handlerTable = {&CNotifyPump::handlerTable,
                                                                handlerEntries};

const CNotifyPump::HandlerTable* WindowImplBase::GetHandlerTable() const {
    return &handlerTable;
}

WindowImplBase::WindowImplBase() {
    // Control changes made on other threads come back through the task channel.
    m_paintManager.SetTaskPoster([this](CPaintManagerUI::WindowTask task, const char* name) {
        return PostUITask([task = std::move(task)](CWindowWnd*) { task(); }, name);
    });
}

WindowImplBase::~WindowImplBase() {
    // The controls go with m_paintManager; the native window must not outlive them.
    DetachAndDestroy();
}

const wchar_t* WindowImplBase::GetSuperClassName() const {
    return nullptr;
}

UINT WindowImplBase::GetClassStyle() const {
    return CS_DBLCLKS;
}

void WindowImplBase::OnFinalMessage(HWND) {
    m_paintManager.RemoveMessageFilter(this);
    m_paintManager.RemoveListener(this);
    m_paintManager.RemoveAllTimers();
}

void WindowImplBase::InitWindow() {}

void WindowImplBase::OnClick(NotifyMsg& msg) {
    if (msg.sender == nullptr)
        return;
    const std::wstring& name = msg.sender->GetName();
    if (name == L"closebtn") {
        Close(IDCLOSE);
    } else if (name == L"minbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"maxbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (name == L"restorebtn") {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
    if (wParam == VK_ESCAPE) {
        Close(IDOK);
        return TRUE;
    }
    return FALSE;
}

ResourceSource WindowImplBase::GetResourceType() const {
    return ResourceSource::Folder;
}

std::wstring WindowImplBase::GetZipFileName() const {
    return std::wstring();
}

const wchar_t* WindowImplBase::GetResourceId() const {
    return nullptr;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
    if (::IsIconic(m_hWnd))
        bHandled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, bool&) {
    // The client area is the whole window; maximised, the monitor's work area.
    RECT* rc = wParam ? &reinterpret_cast<LPNCCALCSIZE_PARAMS>(lParam)->rgrc[0]
                      : reinterpret_cast<RECT*>(lParam);
    if (rc != nullptr && ::IsZoomed(m_hWnd)) {
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        if (::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi))
            *rc = mi.rcWork;
    }
    return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) {
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT rcClient{};
    ::GetClientRect(m_hWnd, &rcClient);
    // The layout's borders and caption are in layout units.
    const DpiScale& scale = m_paintManager.GetScale();
    pt = scale.ToLogical(pt);
    rcClient = scale.ToLogicalCover(rcClient);
    if (!::IsZoomed(m_hWnd)) {
        const RECT box = m_paintManager.GetResizeBorder();
        if (pt.y < rcClient.top + box.top) {
            if (pt.x < rcClient.left + box.left)
                return HTTOPLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - box.bottom) {
            if (pt.x < rcClient.left + box.left)
                return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + box.left)
            return HTLEFT;
        if (pt.x > rcClient.right - box.right)
            return HTRIGHT;
    }
    const RECT cap = m_paintManager.GetCaptionArea();
    if (pt.x >= rcClient.left + cap.left && pt.x < rcClient.right - cap.right && pt.y >= cap.top &&
        pt.y < cap.bottom) {
        CControlUI* control = m_paintManager.FindControl(pt);
        // Controls that take clicks stay clickable inside the caption.
        if (control != nullptr && (control->GetInputFlags() & kTakesInput) == 0)
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
    auto* mmi = reinterpret_cast<LPMINMAXINFO>(lParam);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi)) {
        RECT work = mi.rcWork;
        ::OffsetRect(&work, -mi.rcMonitor.left, -mi.rcMonitor.top);
        mmi->ptMaxPosition.x = work.left;
        mmi->ptMaxPosition.y = work.top;
        mmi->ptMaxTrackSize.x = work.right - work.left;
        mmi->ptMaxTrackSize.y = work.bottom - work.top;
    }
    const SIZE minInfo = m_paintManager.GetScale().ToDevice(m_paintManager.GetMinimumSize());
    if (minInfo.cx > 0)
        mmi->ptMinTrackSize.x = minInfo.cx;
    if (minInfo.cy > 0)
        mmi->ptMinTrackSize.y = minInfo.cy;
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
    const SIZE corner = m_paintManager.GetCornerSize();
    if (!::IsIconic(m_hWnd) && (corner.cx != 0 || corner.cy != 0)) {
        const DpiScale& scale = m_paintManager.GetScale();
        const SIZE round{scale.ToDeviceWidth(corner.cx), scale.ToDeviceWidth(corner.cy)};
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        ::OffsetRect(&rc, -rc.left, -rc.top);
        HRGN rgn =
            ::CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, round.cx, round.cy);
        // The system owns the region once it is set.
        if (rgn != nullptr && !::SetWindowRgn(m_hWnd, rgn, TRUE))
            ::DeleteObject(rgn);
    }
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    const bool wasZoomed = ::IsZoomed(m_hWnd) != FALSE;
    const LRESULT lRes = ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    const bool zoomed = ::IsZoomed(m_hWnd) != FALSE;
    if (wasZoomed != zoomed) {
        if (CControlUI* maxBtn = m_paintManager.FindControl(L"maxbtn"))
            maxBtn->SetVisible(!zoomed);
        if (CControlUI* restoreBtn = m_paintManager.FindControl(L"restorebtn"))
            restoreBtn->SetVisible(zoomed);
    }
    bHandled = true;
    return lRes;
}

void WindowImplBase::FailLayoutLoad() {
    LOG_ERROR(L"Load skin %ls failed", GetSkinFile().c_str());
    wchar_t title[256] = {};
    if (m_hWnd != nullptr)
        ::GetWindowTextW(m_hWnd, title, 255);
    ::MessageBoxW(nullptr, kLoadFailedText, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ::ExitProcess(1);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&) {
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE) & ~WS_CAPTION;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_paintManager.BindWindow(m_hWnd);
    m_paintManager.AddMessageFilter(this);

    if (CPaintManagerUI::GetResourceFolder().empty()) {
        CPaintManagerUI::SetResourceFolder(
            (CPaintManagerUI::GetModuleFolder() + GetSkinFolder()).c_str());
    }
    if (GetResourceType() == ResourceSource::ZipResource) {
        SetArchiveOnly(true);
        if (!OpenResourceArchive(GetResourceId())) {
            LOG_ERROR(L"skin archive missing or unreadable");
            FailLayoutLoad();
        }
    }

    CDialogBuilder builder;
    const std::wstring skin = GetSkinFile();
    CControlUI* root = builder.Create(skin.c_str(), this, &m_paintManager);
    if (root == nullptr) {
        LOG_ERROR(L"%ls: %ls", skin.c_str(), builder.GetLastErrorText().c_str());
        FailLayoutLoad();
    }
    m_paintManager.SetRoot(root);
    m_paintManager.AddListener(this);
    if (CControlUI* ok = m_paintManager.FindControl(L"BtnOk"))
        ok->SetFocus();
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, bool&) {
    // Moved to a monitor of another DPI: everything is drawn anew at that
    // DPI, in the place the system proposes (the same layout, scaled).
    m_paintManager.SetDpi(LOWORD(wParam));
    if (const auto* rc = reinterpret_cast<const RECT*>(lParam)) {
        ::SetWindowPos(m_hWnd, nullptr, rc->left, rc->top, rc->right - rc->left,
                       rc->bottom - rc->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_paintManager.Invalidate();
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LONG WindowImplBase::GetStyle() {
    return ::GetWindowLongW(m_hWnd, GWL_STYLE) & ~WS_CAPTION;
}

LRESULT WindowImplBase::OnTimer(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::OnReservedMessage(UINT, WPARAM, LPARAM, bool& bHandled) {
    bHandled = false;
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    bool bHandled = true;
    switch (uMsg) {
        case WM_CREATE:
            lRes = OnCreate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_CLOSE:
            lRes = OnClose(uMsg, wParam, lParam, bHandled);
            break;
        case WM_DESTROY:
            lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCDESTROY:
            lRes = OnNcDestroy(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCACTIVATE:
            lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCCALCSIZE:
            lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCPAINT:
            lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCHITTEST:
            lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
            break;
        case WM_GETMINMAXINFO:
            lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEWHEEL:
            lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEHOVER:
            lRes = OnMouseHover(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SIZE:
            lRes = OnSize(uMsg, wParam, lParam, bHandled);
            break;
        case WM_CHAR:
            lRes = OnChar(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SYSCOMMAND:
            lRes = OnSysCommand(uMsg, wParam, lParam, bHandled);
            break;
        case WM_KEYDOWN:
            lRes = OnKeyDown(uMsg, wParam, lParam, bHandled);
            break;
        case WM_KILLFOCUS:
            lRes = OnKillFocus(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SETFOCUS:
            lRes = OnSetFocus(uMsg, wParam, lParam, bHandled);
            break;
        case WM_LBUTTONUP:
            lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled);
            break;
        case WM_LBUTTONDOWN:
            lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEMOVE:
            lRes = OnMouseMove(uMsg, wParam, lParam, bHandled);
            break;
        case kReservedMessage:
            lRes = OnReservedMessage(uMsg, wParam, lParam, bHandled);
            break;
        case kDpiChangedMessage:
            lRes = OnDpiChanged(uMsg, wParam, lParam, bHandled);
            break;
        case WM_TIMER:
            OnTimer(uMsg, wParam, lParam, bHandled);
            bHandled = false;
            break;
        default:
            bHandled = false;
            break;
    }
    if (bHandled)
        return lRes;
    bHandled = false;
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled)
        return lRes;
    if (m_paintManager.MessageHandler(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void WindowImplBase::Notify(NotifyMsg& msg) {
    DispatchByType(msg);
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        const LRESULT r = ResponseDefaultKeyEvent(wParam);
        if (r != 0)
            bHandled = true;
        return r;
    }
    return 0;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t*) {
    return nullptr;
}

}  // namespace TavroLib
