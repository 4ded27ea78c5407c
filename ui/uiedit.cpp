#include "ui/uiedit.h"

#include <algorithm>

#include "ui/uiattr.h"
#include "ui/uieditwnd.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"

namespace DuiLib {

CEditUI::CEditUI() = default;

CEditUI::~CEditUI() {
    if (m_pWindow != nullptr) {
        CEditWnd* wnd = m_pWindow;
        m_pWindow = nullptr;
        wnd->Detach();
    }
}

std::wstring CEditUI::GetClass() const {
    return L"EditUI";
}

void* CEditUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Edit") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const {
    return UIFLAG_TABSTOP | UIFLAG_SETCURSOR;
}

std::wstring CEditUI::GetText() const {
    if (m_pWindow != nullptr)
        return m_pWindow->GetText();
    return m_sText;
}

void CEditUI::OnTextChanged() {
    if (m_pWindow != nullptr)
        m_pWindow->SetText(m_sText);
}

HWND CEditUI::GetNativeWindow() const {
    return m_pWindow ? m_pWindow->GetHWND() : nullptr;
}

RECT CEditUI::GetNativeRect() const {
    RECT rc = m_rcItem;
    const int inset = m_nBorderSize + 4;
    rc.left += inset;
    rc.right -= inset;
    int h = 16;
    if (m_pManager != nullptr) {
        if (const UIFontInfo* f = m_pManager->GetFontInfoOrDefault(m_iFont))
            h = f->tm.tmHeight + 2;
    }
    const int avail = (m_rcItem.bottom - m_rcItem.top) - 2 * m_nBorderSize;
    h = std::max(1, std::min(h, avail));
    rc.top = m_rcItem.top + m_nBorderSize + (avail - h) / 2;
    rc.bottom = rc.top + h;
    if (rc.right < rc.left)
        rc.right = rc.left;
    return rc;
}

void CEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CLabelUI::SetPos(rc, bNeedInvalidate);
    if (m_pWindow != nullptr)
        m_pWindow->Move(GetNativeRect());
}

void CEditUI::SetVisible(bool bVisible) {
    if (!bVisible && m_pWindow != nullptr)
        m_pWindow->Finish();
    CLabelUI::SetVisible(bVisible);
}

void CEditUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"nativebkcolor") {
        SetNativeBkColor(ParseColorOr(pstrValue, 0xFFFFFFFF));
    } else if (name == L"maxchar") {
        m_nMaxChar = ParseInt(pstrValue, 1, 32767, 255);
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

void CEditUI::StartEditing() {
    if (m_pWindow != nullptr || !m_bVisible || m_pManager == nullptr)
        return;
    m_pWindow = CEditWnd::Create(this);
    Invalidate();
}

void CEditUI::OnNativeClosed(const std::wstring& text) {
    m_pWindow = nullptr;
    m_sText = text;
    Invalidate();
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513)));  // IDC_IBEAM
            return;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            StartEditing();
            return;
        case UIEVENT_KILLFOCUS:
            if (m_pWindow != nullptr)
                m_pWindow->Finish();
            Invalidate();
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

void CEditUI::PaintText(UIPaintContext& ctx) {
    if (m_pWindow != nullptr || m_pManager == nullptr || m_sText.empty())
        return;
    RECT rc = m_rcItem;
    const int inset = m_nBorderSize + 4;
    rc.left += inset;
    rc.right -= inset;
    Render::DrawText(ctx, m_sText, rc, m_pManager->GetFontInfoOrDefault(m_iFont), m_dwTextColor,
                     (m_uTextStyle & ~static_cast<UINT>(DT_TOP | DT_BOTTOM)) | DT_VCENTER);
}

}  // namespace DuiLib
