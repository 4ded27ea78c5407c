#include "ui/nativewindow.h"

#include "util/com_scope.h"

#include "ui/paintmanager.h"

namespace TavroLib {

CWindowWnd::CWindowWnd() : m_baseProc(::DefWindowProcW) {}

CWindowWnd::~CWindowWnd() {
    DetachAndDestroy();
}

void CWindowWnd::DetachAndDestroy() {
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return;
    // Whatever arrives from now on goes to DefWindowProcW.
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    SetTaskWindow(nullptr);
    if (::IsWindow(hWnd) && ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId())
        ::DestroyWindow(hWnd);
    DiscardTasks();
}

const wchar_t* CWindowWnd::GetSuperClassName() const {
    return nullptr;
}

UINT CWindowWnd::GetClassStyle() const {
    return CS_DBLCLKS;
}

bool CWindowWnd::RegisterOwnClass() {
    WNDCLASSW wc{};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowWnd::StaticWndProc;
    wc.hInstance = CPaintManagerUI::GetModule();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = nullptr;
    wc.lpszClassName = GetWindowClassName();
    if (wc.lpszClassName == nullptr || *wc.lpszClassName == 0)
        return false;
    const ATOM atom = ::RegisterClassW(&wc);
    return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterDerivedClass() {
    // A new class on top of an existing one; the old procedure handles the rest.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(CPaintManagerUI::GetModule(), GetSuperClassName(), &wc))
        return false;
    m_baseProc = wc.lpfnWndProc;
    wc.lpfnWndProc = &CWindowWnd::StaticWndProc;
    wc.hInstance = CPaintManagerUI::GetModule();
    wc.lpszClassName = GetWindowClassName();
    const ATOM atom = ::RegisterClassExW(&wc);
    return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy, HMENU hMenu) {
    if (m_hWnd != nullptr)
        return nullptr;  // one native window per object
    if (GetSuperClassName() != nullptr && !RegisterDerivedClass())
        return nullptr;
    if (GetSuperClassName() == nullptr && !RegisterOwnClass())
        return nullptr;
    HWND hWnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), name, dwStyle, x, y, cx, cy,
                                  parent, hMenu, CPaintManagerUI::GetModule(), this);
    if (hWnd == nullptr) {
        // WM_NCCREATE may have recorded it before creation failed.
        m_hWnd = nullptr;
        SetTaskWindow(nullptr);
    }
    return hWnd;
}

void CWindowWnd::SetIcon(UINT iconId) {
    if (m_hWnd == nullptr)
        return;
    auto round16 = [](int v) { return (v + 15) / 16 * 16; };
    const int cx = round16(::GetSystemMetrics(SM_CXICON));
    const int cy = round16(::GetSystemMetrics(SM_CYICON));
    HICON big =
        static_cast<HICON>(::LoadImageW(CPaintManagerUI::GetModule(), MAKEINTRESOURCEW(iconId),
                                        IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR | LR_SHARED));
    if (big != nullptr)
        ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    HICON small =
        static_cast<HICON>(::LoadImageW(CPaintManagerUI::GetModule(), MAKEINTRESOURCEW(iconId),
                                        IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR | LR_SHARED));
    if (small != nullptr)
        ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void CWindowWnd::CenterWindow() {
    if (m_hWnd == nullptr || !::IsWindow(m_hWnd))
        return;
    RECT rcDlg{};
    ::GetWindowRect(m_hWnd, &rcDlg);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT rcArea = mi.rcWork;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    RECT rcCenter = rcArea;
    if (owner != nullptr)
        ::GetWindowRect(owner, &rcCenter);
    const int w = rcDlg.right - rcDlg.left;
    const int h = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x < rcArea.left)
        x = rcArea.left;
    else if (x + w > rcArea.right)
        x = rcArea.right - w;
    if (y < rcArea.top)
        y = rcArea.top;
    else if (y + h > rcArea.bottom)
        y = rcArea.bottom - h;
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT CWindowWnd::ShowModal() {
    if (m_hWnd == nullptr || !::IsWindow(m_hWnd))
        return 0;
    m_closeCode = 0;
    // Screen readers reach the window's objects through COM, served by
    // this loop: the thread needs an apartment while it runs.
    vorn::ComApartment apartment;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    m_shown = true;
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    if (owner != nullptr)
        ::EnableWindow(owner, FALSE);
    MSG msg{};
    bool quit = false;
    while (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1)
            break;
        if (msg.message == WM_CLOSE && msg.hwnd == m_hWnd) {
            if (owner != nullptr) {
                ::EnableWindow(owner, TRUE);
                ::SetFocus(owner);
            }
        }
        if (!CPaintManagerUI::PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (owner != nullptr) {
        ::EnableWindow(owner, TRUE);
        ::SetFocus(owner);
    }
    if (quit)
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    return m_closeCode;
}

void CWindowWnd::Close(UINT code) {
    SetClosing();
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr && ::IsWindow(hWnd))
        ::PostMessageW(hWnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    m_shown = show;
    if (m_hWnd == nullptr || !::IsWindow(m_hWnd))
        return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::SendMessageW(m_hWnd, uMsg, wParam, lParam) : 0;
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::PostMessageW(m_hWnd, uMsg, wParam, lParam) : 0;
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(m_baseProc, m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CALLBACK CWindowWnd::StaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(cs->lpCreateParams);
        if (pThis != nullptr) {
            pThis->m_hWnd = hWnd;
            pThis->SetTaskWindow(hWnd);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
        }
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == WM_NCDESTROY && pThis != nullptr) {
            const LRESULT lRes = ::CallWindowProcW(pThis->m_baseProc, hWnd, uMsg, wParam, lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            pThis->m_hWnd = nullptr;
            pThis->SetTaskWindow(nullptr);
            pThis->DiscardTasks();
            pThis->OnFinalMessage(hWnd);
            return lRes;
        }
    }
    if (pThis == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    if (uMsg == kTaskMessage)
        pThis->RunUITask(wParam, pThis);
    else if (uMsg == WM_CLOSE)
        pThis->m_closeCode = static_cast<UINT>(wParam);
    return pThis->HandleMessage(uMsg, wParam, lParam);
}

const CNotifyPump::HandlerEntry kPumpEntries[] = {{nullptr, nullptr}};
const CNotifyPump::HandlerTable CNotifyPump::handlerTable = {nullptr, kPumpEntries};

const CNotifyPump::HandlerTable* CNotifyPump::GetHandlerTable() const {
    return &handlerTable;
}

bool CNotifyPump::DispatchByType(NotifyMsg& msg) {
    for (const HandlerTable* t = GetHandlerTable(); t != nullptr; t = t->base) {
        for (const HandlerEntry* e = t->entries; e != nullptr && e->type != nullptr; ++e) {
            if (msg.type == e->type) {
                (this->*(e->handler))(msg);
                return true;
            }
        }
    }
    return false;
}

}  // namespace TavroLib
