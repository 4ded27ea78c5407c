#include "ui/label.h"

#include <oleacc.h>

#include "ui/attributes.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"

namespace TavroLib {

LONG CLabelUI::GetAccessibleRole() const {
    return ROLE_SYSTEM_STATICTEXT;
}

DWORD CLabelUI::GetAccessibleState() const {
    return STATE_SYSTEM_READONLY;
}

std::wstring CLabelUI::GetTypeName() const {
    return L"LabelUI";
}

void CLabelUI::SetTextColor(DWORD argb) {
    m_textColor = argb;
    Invalidate();
}

void CLabelUI::SetFont(int index) {
    m_font = index < 0 ? -1 : index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
    m_textStyle = style;
    Invalidate();
}

void CLabelUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"font") {
        SetFont(ParseInt(value, -1, 1000, -1));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColorOr(value, 0));
    } else if (name == L"align") {
        SetTextStyle(ParseAlign(value, m_textStyle));
    } else if (name == L"endellipsis") {
        if (ParseBool(value))
            m_textStyle |= DT_END_ELLIPSIS;
        else
            m_textStyle &= ~static_cast<UINT>(DT_END_ELLIPSIS);
    } else {
        CControlUI::SetAttribute(attribute, value);
    }
}

void CLabelUI::PaintText(PaintContext& ctx) {
    const std::wstring text = GetText();
    if (text.empty() || m_manager == nullptr)
        return;
    Render::DrawText(ctx, text, m_rect, m_manager->ResolveFont(m_font), m_textColor, m_textStyle);
}

}  // namespace TavroLib
