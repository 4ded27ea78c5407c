#include "ui/control.h"

#include <algorithm>

#include "ui/attributes.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"
#include "ui/resources.h"

namespace TavroLib {
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
    if (m_manager != nullptr)
        m_manager->ForgetControl(this);
}

std::wstring CControlUI::GetTypeName() const {
    return L"ControlUI";
}

UINT CControlUI::GetInputFlags() const {
    return 0;
}

void CControlUI::SetName(const wchar_t* name) {
    m_name = name ? name : L"";
}

std::wstring CControlUI::GetText() const {
    return m_text;
}

void CControlUI::SetText(const wchar_t* value) {
    std::wstring text = value ? value : L"";
    if (m_manager != nullptr && !m_manager->IsWindowThread()) {
        // Controls belong to their window's thread: the text goes there as a
        // task, and is dropped if the control has left the tree meanwhile.
        CPaintManagerUI* manager = m_manager;
        manager->PostToWindowThread(
            [manager, control = this, text = std::move(text)] {
                if (manager->HoldsControl(control))
                    control->SetText(text);
            },
            "SetText");
        return;
    }
    // GetText as well: an edit being typed into shows its native window's text.
    if (text == m_text && text == GetText())
        return;
    m_text = std::move(text);
    OnTextChanged();
    Invalidate();
    if (m_manager != nullptr)
        m_manager->QueueAccessibleEvent(this, AccessibleChange::Name);
}

void CControlUI::SetBkColor(DWORD argb) {
    if (m_bkColor == argb)
        return;
    m_bkColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
    m_bkImage = image ? image : L"";
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
    m_borderColor = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    m_borderSize = std::clamp(size, 0, 100);
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE cxy) {
    m_borderRound.cx = std::clamp<LONG>(cxy.cx, 0, kMaxCoordinate);
    m_borderRound.cy = std::clamp<LONG>(cxy.cy, 0, kMaxCoordinate);
    Invalidate();
}

void CControlUI::SetToolTip(const wchar_t* text) {
    m_toolTip = text ? text : L"";
}

void CControlUI::SetPos(RECT rc, bool invalidate) {
    rc = ClampRect(rc);
    if (m_floating && m_parent != nullptr) {
        // Keep the new place across later layouts of the parent.
        const RECT& parent = m_parent->GetPos();
        m_floatRect = {rc.left - parent.left, rc.top - parent.top, rc.right - parent.left,
                       rc.bottom - parent.top};
        m_fixedSize = {rc.right - rc.left, rc.bottom - rc.top};
    }
    if (EqualRect(&rc, &m_rect))
        return;
    if (invalidate)
        Invalidate();
    m_rect = rc;
    if (invalidate)
        Invalidate();
}

void CControlUI::SetPos(int left, int top, int right, int bottom) {
    SetPos(RECT{left, top, right, bottom}, true);
}

void CControlUI::SetFloatPos(RECT rc) {
    rc = ClampRect(rc);
    m_floatRect = rc;
    m_fixedSize = {rc.right - rc.left, rc.bottom - rc.top};
    RequestParentLayout();
}

void CControlUI::SetFloating(bool floating) {
    if (m_floating == floating)
        return;
    m_floating = floating;
    RequestParentLayout();
}

void CControlUI::SetFixedWidth(int cx) {
    m_fixedSize.cx = std::clamp(cx, 0, kMaxCoordinate);
    RequestParentLayout();
}

void CControlUI::SetFixedHeight(int cy) {
    m_fixedSize.cy = std::clamp(cy, 0, kMaxCoordinate);
    RequestParentLayout();
}

void CControlUI::SetVisible(bool visible) {
    if (m_visible == visible)
        return;
    if (!visible)
        Invalidate();
    m_visible = visible;
    if (!visible && m_manager != nullptr && IsAncestorOf(this, m_manager->GetFocus())) {
        m_manager->SetFocus(nullptr);
    }
    RequestParentLayout();
    if (visible)
        Invalidate();
    if (m_manager != nullptr)
        m_manager->QueueAccessibleEvent(this, AccessibleChange::State);
}

void CControlUI::SetFocus() {
    if (m_manager != nullptr)
        m_manager->SetFocus(this);
}

void CControlUI::Invalidate() {
    if (m_manager == nullptr)
        return;
    RECT rc = m_rect;
    // Only the part inside every parent shows.
    for (CControlUI* p = m_parent; p != nullptr; p = p->GetParent()) {
        RECT parent = p->GetPos();
        if (!::IntersectRect(&rc, &rc, &parent))
            return;
    }
    m_manager->Invalidate(rc);
}

void CControlUI::RequestParentLayout() {
    if (m_manager != nullptr)
        m_manager->RequestLayout();
}

void CControlUI::AttachTo(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    m_manager = manager;
    m_parent = parent;
    if (init && m_manager != nullptr) {
        m_manager->RegisterControl(this, parent);
        OnInit();
    }
}

CControlUI* CControlUI::FindControl(POINT pt) {
    if (!m_visible)
        return nullptr;
    return ::PtInRect(&m_rect, pt) ? this : nullptr;
}

bool CControlUI::ForEach(bool (*visit)(CControlUI*, void*), void* data) {
    return visit(this, data);
}

void CControlUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"name") {
        SetName(value);
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"pos") {
        const RECT rc = ClampRect(ParseRect(value));
        m_floatRect = rc;
        m_fixedSize = {rc.right - rc.left, rc.bottom - rc.top};
        m_rect = rc;
        RequestParentLayout();
    } else if (name == L"float") {
        SetFloating(ParseBool(value));
    } else if (name == L"width") {
        SetFixedWidth(ParseInt(value, 0, kMaxCoordinate, 0));
    } else if (name == L"height") {
        SetFixedHeight(ParseInt(value, 0, kMaxCoordinate, 0));
    } else if (name == L"bkcolor") {
        SetBkColor(ParseColorOr(value, 0));
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"bordersize") {
        SetBorderSize(ParseInt(value, 0, 100, 0));
    } else if (name == L"bordercolor") {
        SetBorderColor(ParseColorOr(value, 0));
    } else if (name == L"borderround") {
        SetBorderRound(ParseSize(value));
    } else if (name == L"tooltip") {
        SetToolTip(value);
    } else if (name == L"visible") {
        SetVisible(ParseBool(value));
    } else if (name == L"accname") {
        m_accName = value;
    } else if (name == L"accrole") {
        m_accRole = value;
    }
    // Anything else is not ours: ignored.
}

void CControlUI::OnInit() {}

std::wstring CControlUI::GetAccessibleName() const {
    if (!m_accName.empty())
        return m_accName;
    const std::wstring text = GetText();
    return text.empty() ? m_toolTip : text;
}

bool CControlUI::IsShown() const {
    for (const CControlUI* c = this; c != nullptr; c = c->GetParent()) {
        if (!c->IsVisible())
            return false;
    }
    return true;
}

void CControlUI::Event(ControlEvent& event) {
    OnEvent(event);
}

void CControlUI::OnEvent(ControlEvent& event) {
    switch (event.type) {
        case InputEvent::SetFocus:
        case InputEvent::KillFocus:
            Invalidate();
            break;
        case InputEvent::Timer:
            if (m_manager != nullptr)
                m_manager->SendNotification(this, kNotifyTimer, event.wParam, event.lParam);
            break;
        default:
            break;
    }
}

void CControlUI::Paint(PaintContext& ctx, const RECT& rcPaint) {
    if (!m_visible)
        return;
    RECT rc;
    if (!::IntersectRect(&rc, &m_rect, &rcPaint))
        return;
    ClipScope clip(ctx, m_rect);
    PaintBackground(ctx);
    PaintBackgroundImage(ctx);
    PaintStateImage(ctx);
    PaintText(ctx);
    PaintBorder(ctx);
}

bool CControlUI::Activate() {
    return m_visible;
}

void CControlUI::PaintBackground(PaintContext& ctx) {
    if (m_bkColor != 0)
        Render::FillRect(ctx, m_rect, m_bkColor, m_borderRound);
}

void CControlUI::PaintBackgroundImage(PaintContext& ctx) {
    if (!m_bkImage.empty())
        DrawImage(ctx, m_bkImage);
}

void CControlUI::PaintStateImage(PaintContext&) {}

void CControlUI::PaintText(PaintContext&) {}

void CControlUI::PaintBorder(PaintContext& ctx) {
    if (m_borderSize > 0 && m_borderColor != 0)
        Render::DrawBorder(ctx, m_rect, m_borderSize, m_borderColor, m_borderRound);
}

bool CControlUI::DrawImage(PaintContext& ctx, const std::wstring& image) {
    ImageAttr attr;
    if (!ParseImageAttr(image.c_str(), attr))
        return false;
    std::shared_ptr<const SkinImage> img;
    // Above 96 DPI the skin's double-size rendering is sharper, where there is one.
    if (m_manager != nullptr && m_manager->GetScale().Dpi() > kDefaultDpi)
        img = GetCachedImage(HighResolutionName(attr.file));
    if (!img)
        img = GetCachedImage(attr.file);
    if (!img)
        return false;  // a missing image draws nothing
    RECT dest = m_rect;
    if (attr.hasDest) {
        dest = {m_rect.left + attr.dest.left, m_rect.top + attr.dest.top,
                m_rect.left + attr.dest.right, m_rect.top + attr.dest.bottom};
    }
    Render::DrawImage(ctx, img, dest);
    return true;
}

}  // namespace TavroLib
