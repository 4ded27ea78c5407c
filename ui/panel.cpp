#include "ui/panel.h"

#include <algorithm>

#include "ui/attributes.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"

namespace TavroLib {

CPanelUI::~CPanelUI() {
    for (CControlUI* c : m_items)
        delete c;
}

std::wstring CPanelUI::GetTypeName() const {
    return L"PanelUI";
}

bool CPanelUI::Add(CControlUI* control) {
    if (control == nullptr)
        return false;
    m_items.push_back(control);
    control->AttachTo(m_manager, this, m_manager != nullptr);
    RequestParentLayout();
    return true;
}

CControlUI* CPanelUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_items[static_cast<size_t>(index)];
}

void CPanelUI::SetFloatPos(CControlUI* child) {
    const RECT fl = child->GetFloatPos();
    int w = child->GetFixedWidth();
    int h = child->GetFixedHeight();
    RECT rc{m_rect.left + fl.left, m_rect.top + fl.top, 0, 0};
    rc.right = rc.left + w;
    rc.bottom = rc.top + h;
    child->SetPos(rc, false);
}

void CPanelUI::SetPos(RECT rc, bool invalidate) {
    CControlUI::SetPos(rc, invalidate);
    for (CControlUI* c : m_items) {
        if (!c->IsVisible())
            continue;
        if (c->IsFloating()) {
            SetFloatPos(c);
        } else {
            c->SetPos(m_rect, false);
        }
    }
}

void CPanelUI::AttachTo(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    // Children first, so that their names exist when the parent initialises.
    m_manager = manager;
    m_parent = parent;
    for (CControlUI* c : m_items)
        c->AttachTo(manager, this, init);
    CControlUI::AttachTo(manager, parent, init);
}

CControlUI* CPanelUI::FindControl(POINT pt) {
    if (!m_visible || !::PtInRect(&m_rect, pt))
        return nullptr;
    // The last child is drawn on top.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (CControlUI* hit = (*it)->FindControl(pt))
            return hit;
    }
    return this;
}

bool CPanelUI::ForEach(bool (*visit)(CControlUI*, void*), void* data) {
    if (!visit(this, data))
        return false;
    for (CControlUI* c : m_items) {
        if (!c->ForEach(visit, data))
            return false;
    }
    return true;
}

void CPanelUI::Paint(PaintContext& ctx, const RECT& rcPaint) {
    if (!m_visible)
        return;
    RECT rc;
    if (!::IntersectRect(&rc, &m_rect, &rcPaint))
        return;
    CControlUI::Paint(ctx, rcPaint);
    ClipScope clip(ctx, m_rect);
    for (CControlUI* c : m_items)
        c->Paint(ctx, rc);
}

std::wstring CColumnUI::GetTypeName() const {
    return L"ColumnUI";
}

void CColumnUI::SetPos(RECT rc, bool invalidate) {
    CControlUI::SetPos(rc, invalidate);
    const RECT inner = m_rect;
    const int width = inner.right - inner.left;
    const int height = inner.bottom - inner.top;

    // Height left for the children without a fixed height.
    int fixedTotal = 0;
    int adjustable = 0;
    for (CControlUI* c : m_items) {
        if (!c->IsVisible() || c->IsFloating())
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
        if (c->IsFloating()) {
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

}  // namespace TavroLib
