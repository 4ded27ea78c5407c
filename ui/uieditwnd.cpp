#include "ui/uieditwnd.h"

#include "ui/uiedit.h"
#include "ui/uimanager.h"

namespace DuiLib {
namespace {
const wchar_t kProp[] = L"DuiLib.CEditWnd";
constexpr UINT kFinishMessage = WM_USER + 0x201;
}  // namespace

CEditWnd* CEditWnd::Create(CEditUI* owner) {
    CPaintManagerUI* pm = owner ? owner->GetManager() : nullptr;
    if (pm == nullptr || pm->GetPaintWindow() == nullptr)
        return nullptr;
    const RECT rc = owner->GetNativeRect();
    HWND hWnd = ::CreateWindowExW(
        0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | ES_LEFT, rc.left, rc.top, rc.right - rc.left,
        rc.bottom - rc.top, pm->GetPaintWindow(), nullptr, CPaintManagerUI::GetInstance(), nullptr);
    if (hWnd == nullptr)
        return nullptr;
    CEditWnd* self = new CEditWnd();
    self->m_pOwner = owner;
    self->m_hWnd = hWnd;
    const DWORD bk = owner->GetNativeBkColor();
    self->m_hBkBrush = ::CreateSolidBrush(RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
    ::SetPropW(hWnd, kProp, self);
    self->m_oldProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CEditWnd::SubclassProc)));
    if (HFONT font = pm->GetFont(owner->GetFont()))
        ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(hWnd, EM_LIMITTEXT, static_cast<WPARAM>(owner->GetMaxChar()), 0);
    ::SendMessageW(hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    const std::wstring text = owner->CControlUI::GetText();
    ::SetWindowTextW(hWnd, text.c_str());
    ::SendMessageW(hWnd, EM_SETSEL, text.size(), text.size());
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(hWnd);
    return self;
}

CEditWnd* CEditWnd::FromHandle(HWND hWnd) {
    return hWnd ? static_cast<CEditWnd*>(::GetPropW(hWnd, kProp)) : nullptr;
}

CEditWnd::~CEditWnd() {
    if (m_hBkBrush != nullptr)
        ::DeleteObject(m_hBkBrush);
}

std::wstring CEditWnd::GetText() const {
    if (m_hWnd == nullptr)
        return std::wstring();
    const int len = ::GetWindowTextLengthW(m_hWnd);
    if (len <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CEditWnd::SetText(const std::wstring& text) {
    if (m_hWnd != nullptr)
        ::SetWindowTextW(m_hWnd, text.c_str());
}

void CEditWnd::Move(const RECT& rc) {
    if (m_hWnd != nullptr)
        ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CEditWnd::Finish() {
    if (m_bFinishing || m_hWnd == nullptr)
        return;
    m_bFinishing = true;
    ::DestroyWindow(m_hWnd);  // WM_NCDESTROY hands the text over and deletes this
}

void CEditWnd::Detach() {
    m_pOwner = nullptr;
    Finish();
}

HBRUSH CEditWnd::ColorEdit(HDC hdc) {
    if (m_pOwner != nullptr) {
        const DWORD c = m_pOwner->GetTextColor();
        const DWORD bk = m_pOwner->GetNativeBkColor();
        ::SetTextColor(hdc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        ::SetBkColor(hdc, RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
    }
    return m_hBkBrush;
}

LRESULT CALLBACK CEditWnd::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CEditWnd* self = FromHandle(hWnd);
    if (self == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    switch (uMsg) {
        case WM_KILLFOCUS:
            // Not from inside the focus change: finish a moment later.
            ::PostMessageW(hWnd, kFinishMessage, 0, 0);
            break;
        case kFinishMessage:
            if (::GetFocus() != hWnd)
                self->Finish();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && self->m_pOwner != nullptr && self->m_pOwner->GetManager()) {
                self->m_pOwner->GetManager()->SendNotify(self->m_pOwner, DUI_MSGTYPE_RETURN);
                return 0;
            }
            break;
        case WM_NCDESTROY: {
            const std::wstring text = self->GetText();
            WNDPROC old = self->m_oldProc;
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            ::RemovePropW(hWnd, kProp);
            CEditUI* owner = self->m_pOwner;
            self->m_hWnd = nullptr;
            delete self;
            if (owner != nullptr)
                owner->OnNativeClosed(text);
            return ::CallWindowProcW(old, hWnd, uMsg, wParam, lParam);
        }
        default:
            break;
    }
    return ::CallWindowProcW(self->m_oldProc, hWnd, uMsg, wParam, lParam);
}

}  // namespace DuiLib
