#include "ui/uiprogress.h"

#include "ui/uiattr.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"

namespace DuiLib {

std::wstring CProgressUI::GetClass() const {
    return L"ProgressUI";
}

void* CProgressUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Progress") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CProgressUI::SetMinValue(int n) {
    m_nMin = n;
    Invalidate();
}

void CProgressUI::SetMaxValue(int n) {
    m_nMax = n;
    Invalidate();
}

void CProgressUI::SetValue(int n) {
    if (n == m_nValue || n < m_nMin || n > m_nMax)
        return;
    m_nValue = n;
    Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* image) {
    m_sForeImage = image ? image : L"";
    Invalidate();
}

RECT CProgressUI::GetFillRect() const {
    RECT rc = m_rcItem;
    if (m_nMax <= m_nMin) {
        rc.right = rc.left;
        return rc;
    }
    long long v = m_nValue;
    if (v < m_nMin)
        v = m_nMin;
    if (v > m_nMax)
        v = m_nMax;
    const long long width = rc.right - rc.left;
    rc.right = rc.left +
               static_cast<LONG>(width * (v - m_nMin) / (static_cast<long long>(m_nMax) - m_nMin));
    return rc;
}

void CProgressUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"min") {
        m_nMin = ParseInt(pstrValue, -1000000000, 1000000000, 0);
    } else if (name == L"max") {
        m_nMax = ParseInt(pstrValue, -1000000000, 1000000000, 100);
    } else if (name == L"value") {
        m_nValue = ParseInt(pstrValue, -1000000000, 1000000000, 0);
    } else if (name == L"foreimage") {
        SetForeImage(pstrValue);
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

void CProgressUI::PaintStatusImage(UIPaintContext& ctx) {
    if (m_sForeImage.empty())
        return;
    const RECT fill = GetFillRect();
    if (fill.right <= fill.left)
        return;
    // The fill image is stretched over the bar and shows only over the filled part.
    CClipScope clip(ctx, fill);
    DrawImage(ctx, m_sForeImage);
}

}  // namespace DuiLib
