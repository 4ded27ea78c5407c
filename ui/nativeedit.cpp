#include "ui/nativeedit.h"

#include "ui/edit.h"
#include "ui/paintmanager.h"

namespace TavroLib {
namespace {
const wchar_t kProp[] = L"TavroLib.NativeEdit";
constexpr UINT kFinishMessage = WM_USER + 0x201;
}  // namespace

CNativeEdit* CNativeEdit::Create(CEditUI* owner) {
    CPaintManagerUI* pm = owner ? owner->GetPaintManager() : nullptr;
    if (pm == nullptr || pm->GetHostWindow() == nullptr)
        return nullptr;
    const RECT rc = owner->GetNativeRect();
    HWND hWnd = ::CreateWindowExW(
        0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | ES_LEFT, rc.left, rc.top, rc.right - rc.left,
        rc.bottom - rc.top, pm->GetHostWindow(), nullptr, CPaintManagerUI::GetModule(), nullptr);
    if (hWnd == nullptr)
        return nullptr;
    CNativeEdit* self = new CNativeEdit();
    self->m_owner = owner;
    self->m_hWnd = hWnd;
    const DWORD bk = owner->GetNativeBkColor();
    self->m_bkBrush = ::CreateSolidBrush(RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
    ::SetPropW(hWnd, kProp, self);
    self->m_oldProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CNativeEdit::SubclassProc)));
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

CNativeEdit* CNativeEdit::FromHandle(HWND hWnd) {
    return hWnd ? static_cast<CNativeEdit*>(::GetPropW(hWnd, kProp)) : nullptr;
}

CNativeEdit::~CNativeEdit() {
    if (m_bkBrush != nullptr)
        ::DeleteObject(m_bkBrush);
}

std::wstring CNativeEdit::GetText() const {
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

void CNativeEdit::SetText(const std::wstring& text) {
    if (m_hWnd != nullptr)
        ::SetWindowTextW(m_hWnd, text.c_str());
}

void CNativeEdit::Move(const RECT& rc) {
    if (m_hWnd != nullptr)
        ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CNativeEdit::Finish() {
    if (m_finishing || m_hWnd == nullptr)
        return;
    m_finishing = true;
    ::DestroyWindow(m_hWnd);  // WM_NCDESTROY hands the text over and deletes this
}

void CNativeEdit::Detach() {
    m_owner = nullptr;
    Finish();
}

HBRUSH CNativeEdit::ColorEdit(HDC hdc) {
    if (m_owner != nullptr) {
        const DWORD c = m_owner->GetTextColor();
        const DWORD bk = m_owner->GetNativeBkColor();
        ::SetTextColor(hdc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        ::SetBkColor(hdc, RGB((bk >> 16) & 0xFF, (bk >> 8) & 0xFF, bk & 0xFF));
    }
    return m_bkBrush;
}

LRESULT CALLBACK CNativeEdit::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CNativeEdit* self = FromHandle(hWnd);
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
            if (wParam == VK_RETURN && self->m_owner != nullptr &&
                self->m_owner->GetPaintManager()) {
                self->m_owner->GetPaintManager()->SendNotification(self->m_owner, kNotifyReturn);
                return 0;
            }
            break;
        case WM_NCDESTROY: {
            const std::wstring text = self->GetText();
            WNDPROC old = self->m_oldProc;
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            ::RemovePropW(hWnd, kProp);
            CEditUI* owner = self->m_owner;
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

}  // namespace TavroLib
