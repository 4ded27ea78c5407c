#include "ui/option.h"

#include <oleacc.h>

#include "ui/attributes.h"
#include "ui/paintmanager.h"

namespace TavroLib {

std::wstring COptionUI::GetTypeName() const {
    return L"OptionUI";
}

void COptionUI::SetSelected(bool selected, bool notify) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    Invalidate();
    if (m_manager != nullptr)
        m_manager->QueueAccessibleEvent(this, AccessibleChange::State);
    if (notify && m_manager != nullptr)
        m_manager->SendNotification(this, kNotifySelectChanged);
}

LONG COptionUI::GetAccessibleRole() const {
    return ROLE_SYSTEM_CHECKBUTTON;
}

DWORD COptionUI::GetAccessibleState() const {
    return CButtonUI::GetAccessibleState() | (m_selected ? STATE_SYSTEM_CHECKED : 0);
}

const wchar_t* COptionUI::GetAccessibleAction() const {
    return m_selected ? L"Uncheck" : L"Check";
}

bool COptionUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_manager != nullptr)
        m_manager->SendNotification(this, kNotifyClick);
    SetSelected(!m_selected);
    return true;
}

void COptionUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"selectedimage") {
        m_selectedImage = value;
        Invalidate();
    } else if (name == L"selected") {
        SetSelected(ParseBool(value), false);
    } else {
        CButtonUI::SetAttribute(attribute, value);
    }
}

void COptionUI::PaintStateImage(PaintContext& ctx) {
    if (m_selected && !m_selectedImage.empty() && DrawImage(ctx, m_selectedImage))
        return;
    CButtonUI::PaintStateImage(ctx);
}

}  // namespace TavroLib
