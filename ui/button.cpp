#include "ui/button.h"

#include <oleacc.h>

#include "ui/paintmanager.h"

namespace TavroLib {

std::wstring CButtonUI::GetTypeName() const {
    return L"ButtonUI";
}

UINT CButtonUI::GetInputFlags() const {
    return kTakesInput | kSetsCursor;
}

void CButtonUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else
        CLabelUI::SetAttribute(attribute, value);
}

void CButtonUI::OnEvent(ControlEvent& event) {
    switch (event.type) {
        case InputEvent::ButtonDown:
        case InputEvent::DoubleClick:
            if (::PtInRect(&m_rect, event.mouse)) {
                m_captured = true;
                m_pressedInside = true;
                Invalidate();
            }
            return;
        case InputEvent::MouseMove:
            if (m_captured) {
                const bool inside = ::PtInRect(&m_rect, event.mouse) != FALSE;
                if (inside != m_pressedInside) {
                    m_pressedInside = inside;
                    Invalidate();
                }
            }
            return;
        case InputEvent::ButtonUp:
            if (m_captured) {
                const bool inside = ::PtInRect(&m_rect, event.mouse) != FALSE;
                m_captured = false;
                m_pressedInside = false;
                Invalidate();
                // Released over the control it was pressed on.
                if (inside)
                    Activate();
            }
            return;
        case InputEvent::MouseEnter:
            m_hot = true;
            Invalidate();
            return;
        case InputEvent::MouseLeave:
            m_hot = false;
            Invalidate();
            return;
        case InputEvent::SetCursor:
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
            return;
        case InputEvent::KeyDown:
            // Space presses, once per press: a held key repeats nothing.
            if (event.wParam == VK_SPACE && (event.lParam & 0x40000000) == 0 && !m_captured)
                Activate();
            return;
        case InputEvent::KillFocus:
            if (m_captured) {
                m_captured = false;
                m_pressedInside = false;
            }
            Invalidate();
            return;
        default:
            CLabelUI::OnEvent(event);
    }
}

LONG CButtonUI::GetAccessibleRole() const {
    return m_accRole == L"link" ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_PUSHBUTTON;
}

DWORD CButtonUI::GetAccessibleState() const {
    DWORD state = IsPushed() ? STATE_SYSTEM_PRESSED : 0;
    if (m_hot)
        state |= STATE_SYSTEM_HOTTRACKED;
    if (GetAccessibleRole() == ROLE_SYSTEM_LINK)
        state |= STATE_SYSTEM_LINKED;
    return state;
}

const wchar_t* CButtonUI::GetAccessibleAction() const {
    return GetAccessibleRole() == ROLE_SYSTEM_LINK ? L"Jump" : L"Press";
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_manager != nullptr)
        m_manager->SendNotification(this, kNotifyClick);
    return true;
}

void CButtonUI::PaintStateImage(PaintContext& ctx) {
    if (IsPushed() && !m_pushedImage.empty() && DrawImage(ctx, m_pushedImage))
        return;
    if (m_hot && !m_hotImage.empty() && DrawImage(ctx, m_hotImage))
        return;
    if (!m_normalImage.empty())
        DrawImage(ctx, m_normalImage);
}

}  // namespace TavroLib
