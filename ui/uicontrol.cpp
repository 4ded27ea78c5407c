#include "ui/uicontrol.h"

#include <algorithm>

#include "ui/uiattr.h"
#include "ui/uimanager.h"
#include "ui/uirender.h"
#include "ui/uiresource.h"

namespace DuiLib {
namespace {

RECT ClampRect(RECT rc) {
    auto c = [](LONG v) { return std::clamp<LONG>(v, -kMaxCoordinate, kMaxCoordinate); };
    rc.left = c(rc.left);
    rc.top = c(rc.top);
    rc.right = std::max(rc.left, c(rc.right));
    rc.bottom = std::max(rc.top, c(rc.bottom));
    return rc;
}

bool IsAncestorOf(const CControlUI* ancestor, const CControlUI* c) {
    for (; c != nullptr; c = c->GetParent()) {
        if (c == ancestor)
            return true;
    }
    return false;
}

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager != nullptr)
        m_pManager->ReapObjects(this);
}

std::wstring CControlUI::GetClass() const {
    return L"ControlUI";
}

void* CControlUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName != nullptr && wcscmp(pstrName, L"Control") == 0)
        return this;
    return nullptr;
}

UINT CControlUI::GetControlFlags() const {
    return 0;
}

void CControlUI::SetName(const wchar_t* pstrName) {
    m_sName = pstrName ? pstrName : L"";
}

std::wstring CControlUI::GetText() const {
    return m_sText;
}

void CControlUI::SetText(const wchar_t* pstrText) {
    const std::wstring text = pstrText ? pstrText : L"";
    if (text == m_sText)
        return;
    m_sText = text;
    OnTextChanged();
    Invalidate();
}

void CControlUI::SetBkColor(DWORD argb) {
    if (m_dwBackColor == argb)
        return;
    m_dwBackColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
    m_sBkImage = image ? image : L"";
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
    m_dwBorderColor = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    m_nBorderSize = std::clamp(size, 0, 100);
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE cxy) {
    m_cxyBorderRound.cx = std::clamp<LONG>(cxy.cx, 0, kMaxCoordinate);
    m_cxyBorderRound.cy = std::clamp<LONG>(cxy.cy, 0, kMaxCoordinate);
    Invalidate();
}

void CControlUI::SetToolTip(const wchar_t* text) {
    m_sToolTip = text ? text : L"";
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    rc = ClampRect(rc);
    if (m_bFloat && m_pParent != nullptr) {
        // Keep the new place across later layouts of the parent.
        const RECT& parent = m_pParent->GetPos();
        m_rcFloat = {rc.left - parent.left, rc.top - parent.top, rc.right - parent.left,
                     rc.bottom - parent.top};
        m_cxyFixed = {rc.right - rc.left, rc.bottom - rc.top};
    }
    if (EqualRect(&rc, &m_rcItem))
        return;
    if (bNeedInvalidate)
        Invalidate();
    m_rcItem = rc;
    if (bNeedInvalidate)
        Invalidate();
}

void CControlUI::SetPos(int left, int top, int right, int bottom) {
    SetPos(RECT{left, top, right, bottom}, true);
}

void CControlUI::SetFloatPos(RECT rc) {
    rc = ClampRect(rc);
    m_rcFloat = rc;
    m_cxyFixed = {rc.right - rc.left, rc.bottom - rc.top};
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool bFloat) {
    if (m_bFloat == bFloat)
        return;
    m_bFloat = bFloat;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    m_cxyFixed.cx = std::clamp(cx, 0, kMaxCoordinate);
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    m_cxyFixed.cy = std::clamp(cy, 0, kMaxCoordinate);
    NeedParentUpdate();
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible)
        return;
    if (!bVisible)
        Invalidate();
    m_bVisible = bVisible;
    if (!bVisible && m_pManager != nullptr && IsAncestorOf(this, m_pManager->GetFocus())) {
        m_pManager->SetFocus(nullptr);
    }
    NeedParentUpdate();
    if (bVisible)
        Invalidate();
}

void CControlUI::SetFocus() {
    if (m_pManager != nullptr)
        m_pManager->SetFocus(this);
}

void CControlUI::Invalidate() {
    if (m_pManager == nullptr)
        return;
    RECT rc = m_rcItem;
    // Only the part inside every parent shows.
    for (CControlUI* p = m_pParent; p != nullptr; p = p->GetParent()) {
        RECT parent = p->GetPos();
        if (!::IntersectRect(&rc, &rc, &parent))
            return;
    }
    m_pManager->Invalidate(rc);
}

void CControlUI::NeedParentUpdate() {
    if (m_pManager != nullptr)
        m_pManager->NeedUpdate();
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pManager != nullptr) {
        m_pManager->InitControls(this, pParent);
        DoInit();
    }
}

CControlUI* CControlUI::FindControl(POINT pt) {
    if (!m_bVisible)
        return nullptr;
    return ::PtInRect(&m_rcItem, pt) ? this : nullptr;
}

bool CControlUI::ForEach(bool (*visit)(CControlUI*, void*), void* data) {
    return visit(this, data);
}

void CControlUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const std::wstring name(pstrName);
    if (name == L"name") {
        SetName(pstrValue);
    } else if (name == L"text") {
        SetText(pstrValue);
    } else if (name == L"pos") {
        const RECT rc = ClampRect(ParseRect(pstrValue));
        m_rcFloat = rc;
        m_cxyFixed = {rc.right - rc.left, rc.bottom - rc.top};
        m_rcItem = rc;
        NeedParentUpdate();
    } else if (name == L"float") {
        SetFloat(ParseBool(pstrValue));
    } else if (name == L"width") {
        SetFixedWidth(ParseInt(pstrValue, 0, kMaxCoordinate, 0));
    } else if (name == L"height") {
        SetFixedHeight(ParseInt(pstrValue, 0, kMaxCoordinate, 0));
    } else if (name == L"bkcolor") {
        SetBkColor(ParseColorOr(pstrValue, 0));
    } else if (name == L"bkimage") {
        SetBkImage(pstrValue);
    } else if (name == L"bordersize") {
        SetBorderSize(ParseInt(pstrValue, 0, 100, 0));
    } else if (name == L"bordercolor") {
        SetBorderColor(ParseColorOr(pstrValue, 0));
    } else if (name == L"borderround") {
        SetBorderRound(ParseSize(pstrValue));
    } else if (name == L"tooltip") {
        SetToolTip(pstrValue);
    } else if (name == L"visible") {
        SetVisible(ParseBool(pstrValue));
    }
    // Anything else is not ours: ignored.
}

void CControlUI::DoInit() {}

void CControlUI::Event(TEventUI& event) {
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETFOCUS:
        case UIEVENT_KILLFOCUS:
            Invalidate();
            break;
        case UIEVENT_TIMER:
            if (m_pManager != nullptr)
                m_pManager->SendNotify(this, DUI_MSGTYPE_TIMER, event.wParam, event.lParam);
            break;
        default:
            break;
    }
}

void CControlUI::DoPaint(UIPaintContext& ctx, const RECT& rcPaint) {
    if (!m_bVisible)
        return;
    RECT rc;
    if (!::IntersectRect(&rc, &m_rcItem, &rcPaint))
        return;
    CClipScope clip(ctx, m_rcItem);
    PaintBkColor(ctx);
    PaintBkImage(ctx);
    PaintStatusImage(ctx);
    PaintText(ctx);
    PaintBorder(ctx);
}

bool CControlUI::Activate() {
    return m_bVisible;
}

void CControlUI::PaintBkColor(UIPaintContext& ctx) {
    if (m_dwBackColor != 0)
        Render::FillRect(ctx, m_rcItem, m_dwBackColor, m_cxyBorderRound);
}

void CControlUI::PaintBkImage(UIPaintContext& ctx) {
    if (!m_sBkImage.empty())
        DrawImage(ctx, m_sBkImage);
}

void CControlUI::PaintStatusImage(UIPaintContext&) {}

void CControlUI::PaintText(UIPaintContext&) {}

void CControlUI::PaintBorder(UIPaintContext& ctx) {
    if (m_nBorderSize > 0 && m_dwBorderColor != 0)
        Render::DrawBorder(ctx, m_rcItem, m_nBorderSize, m_dwBorderColor, m_cxyBorderRound);
}

bool CControlUI::DrawImage(UIPaintContext& ctx, const std::wstring& image) {
    ImageAttr attr;
    if (!ParseImageAttr(image.c_str(), attr))
        return false;
    std::shared_ptr<const UIImage> img = GetCachedImage(attr.file);
    if (!img)
        return false;  // a missing image draws nothing
    RECT dest = m_rcItem;
    if (attr.hasDest) {
        dest = {m_rcItem.left + attr.dest.left, m_rcItem.top + attr.dest.top,
                m_rcItem.left + attr.dest.right, m_rcItem.top + attr.dest.bottom};
    }
    Render::DrawImage(ctx, *img, dest);
    return true;
}

}  // namespace DuiLib
