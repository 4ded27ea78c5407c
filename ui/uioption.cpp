#include "ui/uioption.h"

#include "ui/uiattr.h"
#include "ui/uimanager.h"

namespace DuiLib {

std::wstring COptionUI::GetClass() const {
    return L"OptionUI";
}

void* COptionUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Option") == 0)
        return this;
    return CButtonUI::GetInterface(pstrName);
}

void COptionUI::Selected(bool bSelected, bool bNotify) {
    if (m_bSelected == bSelected)
        return;
    m_bSelected = bSelected;
    Invalidate();
    if (bNotify && m_pManager != nullptr)
        m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_pManager != nullptr)
        m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    Selected(!m_bSelected);
    return true;
}

void COptionUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"selectedimage") {
        m_sSelectedImage = pstrValue;
        Invalidate();
    } else if (name == L"selected") {
        Selected(ParseBool(pstrValue), false);
    } else {
        CButtonUI::SetAttribute(pstrName, pstrValue);
    }
}

void COptionUI::PaintStatusImage(UIPaintContext& ctx) {
    if (m_bSelected && !m_sSelectedImage.empty() && DrawImage(ctx, m_sSelectedImage))
        return;
    CButtonUI::PaintStatusImage(ctx);
}

}  // namespace DuiLib
