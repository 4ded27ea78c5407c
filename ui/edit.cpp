#include "ui/edit.h"

#include <oleacc.h>

#include <algorithm>

#include "ui/attributes.h"
#include "ui/nativeedit.h"
#include "ui/paintmanager.h"
#include "ui/renderer.h"

namespace TavroLib {

CEditUI::CEditUI() = default;

CEditUI::~CEditUI() {
    if (m_native != nullptr) {
        CNativeEdit* wnd = m_native;
        m_native = nullptr;
        wnd->Detach();
    }
}

std::wstring CEditUI::GetTypeName() const {
    return L"EditUI";
}

UINT CEditUI::GetInputFlags() const {
    return kTakesInput | kSetsCursor;
}

std::wstring CEditUI::GetText() const {
    if (m_native != nullptr)
        return m_native->GetText();
    return m_text;
}

void CEditUI::OnTextChanged() {
    if (m_native != nullptr)
        m_native->SetText(m_text);
}

HWND CEditUI::GetNativeWindow() const {
    return m_native ? m_native->GetHandle() : nullptr;
}

RECT CEditUI::GetNativeRect() const {
    const DpiScale scale = m_manager != nullptr ? m_manager->GetScale() : DpiScale();
    const RECT outer = scale.ToDevice(m_rect);
    const int border = scale.ToDeviceWidth(m_borderSize);
    RECT rc = outer;
    const int inset = border + scale.ToDevice(4);
    rc.left += inset;
    rc.right -= inset;
    int h = scale.ToDevice(16);
    if (m_manager != nullptr) {
        if (const FontInfo* f = m_manager->ResolveFont(m_font))
            h = f->metrics.tmHeight + scale.ToDevice(2);
    }
    const int avail = (outer.bottom - outer.top) - 2 * border;
    h = std::max(1, std::min(h, avail));
    rc.top = outer.top + border + (avail - h) / 2;
    rc.bottom = rc.top + h;
    if (rc.right < rc.left)
        rc.right = rc.left;
    return rc;
}

void CEditUI::OnScaleChanged() {
    if (m_native == nullptr || m_manager == nullptr)
        return;
    if (HFONT font = m_manager->GetFont(m_font))
        ::SendMessageW(m_native->GetHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    m_native->Move(GetNativeRect());
}

void CEditUI::SetPos(RECT rc, bool invalidate) {
    CLabelUI::SetPos(rc, invalidate);
    if (m_native != nullptr)
        m_native->Move(GetNativeRect());
}

void CEditUI::SetVisible(bool visible) {
    if (!visible && m_native != nullptr)
        m_native->Finish();
    CLabelUI::SetVisible(visible);
}

void CEditUI::SetAttribute(const wchar_t* attribute, const wchar_t* value) {
    if (attribute == nullptr || value == nullptr)
        return;
    const std::wstring name(attribute);
    if (name == L"nativebkcolor") {
        SetNativeBkColor(ParseColorOr(value, 0xFFFFFFFF));
    } else if (name == L"maxchar") {
        m_maxChars = ParseInt(value, 1, 32767, 255);
    } else {
        CLabelUI::SetAttribute(attribute, value);
    }
}

LONG CEditUI::GetAccessibleRole() const {
    return ROLE_SYSTEM_TEXT;
}

std::wstring CEditUI::GetAccessibleName() const {
    return m_accName.empty() ? m_toolTip : m_accName;
}

void CEditUI::StartEditing() {
    if (m_native != nullptr || !m_visible || m_manager == nullptr)
        return;
    m_native = CNativeEdit::Create(this);
    Invalidate();
}

void CEditUI::OnNativeClosed(const std::wstring& text) {
    m_native = nullptr;
    m_text = text;
    Invalidate();
}

void CEditUI::OnEvent(ControlEvent& event) {
    switch (event.type) {
        case InputEvent::SetCursor:
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513)));  // IDC_IBEAM
            return;
        case InputEvent::ButtonDown:
        case InputEvent::DoubleClick:
            StartEditing();
            return;
        case InputEvent::KillFocus:
            if (m_native != nullptr)
                m_native->Finish();
            Invalidate();
            return;
        default:
            CLabelUI::OnEvent(event);
    }
}

void CEditUI::PaintText(PaintContext& ctx) {
    if (m_native != nullptr || m_manager == nullptr || m_text.empty())
        return;
    RECT rc = m_rect;
    const int inset = m_borderSize + 4;
    rc.left += inset;
    rc.right -= inset;
    Render::DrawText(ctx, m_text, rc, m_manager->ResolveFont(m_font), m_textColor,
                     (m_textStyle & ~static_cast<UINT>(DT_TOP | DT_BOTTOM)) | DT_VCENTER);
}

}  // namespace TavroLib
