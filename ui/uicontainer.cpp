#include "ui/uicontainer.h"

#include <algorithm>

#include "ui/uiattr.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
    for (CControlUI* c : m_items)
        delete c;
}

std::wstring CContainerUI::GetClass() const {
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Container") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

bool CContainerUI::Add(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    m_items.push_back(pControl);
    pControl->SetManager(m_pManager, this, m_pManager != nullptr);
    NeedParentUpdate();
    return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_items[static_cast<size_t>(index)];
}

void CContainerUI::SetFloatPos(CControlUI* child) {
    const RECT fl = child->GetFloatPos();
    int w = child->GetFixedWidth();
    int h = child->GetFixedHeight();
    RECT rc{m_rcItem.left + fl.left, m_rcItem.top + fl.top, 0, 0};
    rc.right = rc.left + w;
    rc.bottom = rc.top + h;
    child->SetPos(rc, false);
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    for (CControlUI* c : m_items) {
        if (!c->IsVisible())
            continue;
        if (c->IsFloat()) {
            SetFloatPos(c);
        } else {
            c->SetPos(m_rcItem, false);
        }
    }
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    // Children first, so that their names exist when the parent initialises.
    m_pManager = pManager;
    m_pParent = pParent;
    for (CControlUI* c : m_items)
        c->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(POINT pt) {
    if (!m_bVisible || !::PtInRect(&m_rcItem, pt))
        return nullptr;
    // The last child is drawn on top.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (CControlUI* hit = (*it)->FindControl(pt))
            return hit;
    }
    return this;
}

bool CContainerUI::ForEach(bool (*visit)(CControlUI*, void*), void* data) {
    if (!visit(this, data))
        return false;
    for (CControlUI* c : m_items) {
        if (!c->ForEach(visit, data))
            return false;
    }
    return true;
}

void CContainerUI::DoPaint(UIPaintContext& ctx, const RECT& rcPaint) {
    if (!m_bVisible)
        return;
    RECT rc;
    if (!::IntersectRect(&rc, &m_rcItem, &rcPaint))
        return;
    CControlUI::DoPaint(ctx, rcPaint);
    CClipScope clip(ctx, m_rcItem);
    for (CControlUI* c : m_items)
        c->DoPaint(ctx, rc);
}

std::wstring CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"VerticalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    const RECT inner = m_rcItem;
    const int width = inner.right - inner.left;
    const int height = inner.bottom - inner.top;

    // Height left for the children without a fixed height.
    int fixedTotal = 0;
    int adjustable = 0;
    for (CControlUI* c : m_items) {
        if (!c->IsVisible() || c->IsFloat())
            continue;
        if (c->GetFixedHeight() > 0)
            fixedTotal += c->GetFixedHeight();
        else
            ++adjustable;
    }
    const int share = adjustable > 0 ? std::max(0, height - fixedTotal) / adjustable : 0;

    int y = inner.top;
    for (CControlUI* c : m_items) {
        if (!c->IsVisible())
            continue;
        if (c->IsFloat()) {
            SetFloatPos(c);
            continue;
        }
        const int h = c->GetFixedHeight() > 0 ? c->GetFixedHeight() : share;
        const int w = c->GetFixedWidth() > 0 ? std::min(c->GetFixedWidth(), kMaxCoordinate) : width;
        RECT child{inner.left, y, inner.left + w, std::min(y + h, kMaxCoordinate)};
        c->SetPos(child, false);
        y = child.bottom;
    }
}

}  // namespace DuiLib
