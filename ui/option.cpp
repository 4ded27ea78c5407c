#include "ui/option.h"

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
    if (notify && m_manager != nullptr)
        m_manager->SendNotification(this, kNotifySelectChanged);
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
