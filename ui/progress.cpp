#include "ui/progress.h"

#include <oleacc.h>

#include "ui/attributes.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"

namespace TavroLib {

std::wstring CProgressUI::GetTypeName() const {
    return L"ProgressUI";
}

void CProgressUI::SetMinValue(int n) {
    m_min = n;
    Invalidate();
}

void CProgressUI::SetMaxValue(int n) {
    m_max = n;
    Invalidate();
}

void CProgressUI::SetValue(int n) {
    if (n == m_value || n < m_min || n > m_max)
        return;
    m_value = n;
    Invalidate();
    if (m_manager != nullptr)
        m_manager->QueueAccessibleEvent(this, AccessibleChange::Value);
}

LONG CProgressUI::GetAccessibleRole() const {
    return ROLE_SYSTEM_PROGRESSBAR;
}

std::wstring CProgressUI::GetAccessibleValue() const {
    const int range = m_max - m_min;
    const int percent = range > 0 ? (m_value - m_min) * 100 / range : 0;
    return std::to_wstring(percent) + L"%";
}

void CProgressUI::SetForeImage(const wchar_t* image) {
    m_foreImage = image ? image : L"";
    Invalidate();
}

RECT CProgressUI::GetFillRect() const {
    RECT rc = m_rect;
    if (m_max <= m_min) {
        rc.right = rc.left;
        return rc;
    }
    long long v = m_value;
    if (v < m_min)
        v = m_min;
    if (v > m_max)
        v = m_max;
    const long long width = rc.right - rc.left;
    rc.right =
        rc.left + static_cast<LONG>(width * (v - m_min) / (static_cast<long long>(m_max) - m_min));
    return rc;
}

void CProgressUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"min") {
        m_min = ParseInt(value, -1000000000, 1000000000, 0);
    } else if (name == L"max") {
        m_max = ParseInt(value, -1000000000, 1000000000, 100);
    } else if (name == L"value") {
        m_value = ParseInt(value, -1000000000, 1000000000, 0);
    } else if (name == L"foreimage") {
        SetForeImage(value);
    } else {
        CLabelUI::SetAttribute(attribute, value);
    }
}

void CProgressUI::PaintStateImage(PaintContext& ctx) {
    if (m_foreImage.empty())
        return;
    const RECT fill = GetFillRect();
    if (fill.right <= fill.left)
        return;
    // The fill image is stretched over the bar and shows only over the filled part.
    ClipScope clip(ctx, fill);
    DrawImage(ctx, m_foreImage);
}

}  // namespace TavroLib
