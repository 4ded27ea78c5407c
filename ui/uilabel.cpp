#include "ui/uilabel.h"

#include "ui/uiattr.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"

namespace DuiLib {

std::wstring CLabelUI::GetClass() const {
    return L"LabelUI";
}

void* CLabelUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Label") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetTextColor(DWORD argb) {
    m_dwTextColor = argb;
    Invalidate();
}

void CLabelUI::SetFont(int index) {
    m_iFont = index < 0 ? -1 : index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"font") {
        SetFont(ParseInt(pstrValue, -1, 1000, -1));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColorOr(pstrValue, 0));
    } else if (name == L"align") {
        SetTextStyle(ParseAlign(pstrValue, m_uTextStyle));
    } else if (name == L"endellipsis") {
        if (ParseBool(pstrValue))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~static_cast<UINT>(DT_END_ELLIPSIS);
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

void CLabelUI::PaintText(UIPaintContext& ctx) {
    const std::wstring text = GetText();
    if (text.empty() || m_pManager == nullptr)
        return;
    Render::DrawText(ctx, text, m_rcItem, m_pManager->GetFontInfoOrDefault(m_iFont), m_dwTextColor,
                     m_uTextStyle);
}

}  // namespace DuiLib
