#include "ui/uibutton.h"

#include "ui/uimanager.h"

namespace DuiLib {

std::wstring CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Button") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const {
    return UIFLAG_TABSTOP | UIFLAG_SETCURSOR;
}

void CButtonUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"normalimage")
        SetNormalImage(pstrValue);
    else if (name == L"hotimage")
        SetHotImage(pstrValue);
    else if (name == L"pushedimage")
        SetPushedImage(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (::PtInRect(&m_rcItem, event.ptMouse)) {
                m_bCaptured = true;
                m_bPressedInside = true;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_bCaptured) {
                const bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
                if (inside != m_bPressedInside) {
                    m_bPressedInside = inside;
                    Invalidate();
                }
            }
            return;
        case UIEVENT_BUTTONUP:
            if (m_bCaptured) {
                const bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
                m_bCaptured = false;
                m_bPressedInside = false;
                Invalidate();
                // Released over the control it was pressed on.
                if (inside)
                    Activate();
            }
            return;
        case UIEVENT_MOUSEENTER:
            m_bHot = true;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            m_bHot = false;
            Invalidate();
            return;
        case UIEVENT_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
            return;
        case UIEVENT_KILLFOCUS:
            if (m_bCaptured) {
                m_bCaptured = false;
                m_bPressedInside = false;
            }
            Invalidate();
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_pManager != nullptr)
        m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::PaintStatusImage(UIPaintContext& ctx) {
    if (IsPushed() && !m_sPushedImage.empty() && DrawImage(ctx, m_sPushedImage))
        return;
    if (m_bHot && !m_sHotImage.empty() && DrawImage(ctx, m_sHotImage))
        return;
    if (!m_sNormalImage.empty())
        DrawImage(ctx, m_sNormalImage);
}

}  // namespace DuiLib
