#include "ui/accessibility/accessibleclient.h"

#include <string>
#include <vector>

#include "ui/accessibility/accessibleelements.h"
#include "ui/control.h"
#include "ui/paintmanager.h"

namespace TavroLib {
namespace {

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* v, LONG id) {
    ::VariantInit(v);
    v->vt = VT_I4;
    v->lVal = id;
}

HRESULT NoChild(VARIANT* v) {
    ::VariantInit(v);
    return S_FALSE;
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

}  // namespace

AccessibleClient::AccessibleClient(HWND window, CPaintManagerUI* manager)
    : m_window(window), m_manager(manager) {}

void AccessibleClient::Detach() {
    m_manager = nullptr;
    m_window = nullptr;
}

HRESULT AccessibleClient::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleClient::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG AccessibleClient::Release() {
    const LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT AccessibleClient::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT AccessibleClient::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT AccessibleClient::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleClient::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                 UINT*) {
    return E_NOTIMPL;
}

HRESULT AccessibleClient::Resolve(const VARIANT& child, CControlUI** control) const {
    *control = nullptr;
    if (m_manager == nullptr || m_window == nullptr || !::IsWindow(m_window))
        return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4)
        return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF)
        return S_OK;
    *control = AccessibleControlAt(m_manager->GetRoot(), child.lVal);
    return *control != nullptr ? S_OK : E_INVALIDARG;
}

bool AccessibleClient::WindowHasFocus() const {
    const HWND focus = ::GetFocus();
    return focus != nullptr && (focus == m_window || ::IsChild(m_window, focus));
}

bool AccessibleClient::IsDialog() const {
    return m_manager != nullptr && m_manager->IsDialogWindow();
}

HRESULT AccessibleClient::get_accParent(IDispatch** parent) {
    if (parent == nullptr)
        return E_POINTER;
    *parent = nullptr;
    if (m_window == nullptr)
        return RPC_E_DISCONNECTED;
    return ::AccessibleObjectFromWindow(m_window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                        reinterpret_cast<void**>(parent));
}

HRESULT AccessibleClient::get_accChildCount(long* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    if (m_manager == nullptr)
        return RPC_E_DISCONNECTED;
    *count = static_cast<long>(AccessibleControls(m_manager->GetRoot()).size());
    return S_OK;
}

HRESULT AccessibleClient::get_accChild(VARIANT child, IDispatch** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    // The controls are simple elements of this object.
    return control != nullptr ? S_FALSE : E_INVALIDARG;
}

HRESULT AccessibleClient::get_accName(VARIANT child, BSTR* name) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    return ReturnText(control == nullptr ? WindowText(m_window) : control->GetAccessibleName(),
                      name);
}

HRESULT AccessibleClient::get_accValue(VARIANT child, BSTR* value) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr) {
        if (value != nullptr)
            *value = nullptr;
        return S_FALSE;
    }
    return ReturnText(control->GetAccessibleValue(), value);
}

HRESULT AccessibleClient::get_accDescription(VARIANT child, BSTR* description) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    std::wstring text;
    // A message window is read out with its message.
    if (control == nullptr && IsDialog()) {
        for (CControlUI* c : AccessibleControls(m_manager->GetRoot())) {
            if (c->GetAccessibleRole() != ROLE_SYSTEM_STATICTEXT || !c->IsShown())
                continue;
            const std::wstring line = c->GetAccessibleName();
            if (line.empty())
                continue;
            if (!text.empty())
                text += L' ';
            text += line;
        }
    }
    return ReturnText(text, description);
}

HRESULT AccessibleClient::get_accRole(VARIANT child, VARIANT* role) {
    if (role == nullptr)
        return E_POINTER;
    ::VariantInit(role);
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    role->vt = VT_I4;
    if (control != nullptr)
        role->lVal = control->GetAccessibleRole();
    else
        role->lVal = IsDialog() ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_CLIENT;
    return S_OK;
}

HRESULT AccessibleClient::get_accState(VARIANT child, VARIANT* state) {
    if (state == nullptr)
        return E_POINTER;
    ::VariantInit(state);
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    DWORD bits = 0;
    if (!::IsWindowVisible(m_window))
        bits |= STATE_SYSTEM_INVISIBLE;
    if (!::IsWindowEnabled(m_window))
        bits |= STATE_SYSTEM_UNAVAILABLE;
    if (control == nullptr) {
        bits |= STATE_SYSTEM_FOCUSABLE;
        if (WindowHasFocus() && m_manager->GetFocus() == nullptr)
            bits |= STATE_SYSTEM_FOCUSED;
    } else {
        bits |= control->GetAccessibleState();
        if (!control->IsShown())
            bits |= STATE_SYSTEM_INVISIBLE;
        if (control->IsKeyboardFocusable()) {
            bits |= STATE_SYSTEM_FOCUSABLE;
            if (control->IsFocused() && WindowHasFocus())
                bits |= STATE_SYSTEM_FOCUSED;
        }
    }
    state->vt = VT_I4;
    state->lVal = static_cast<LONG>(bits);
    return S_OK;
}

HRESULT AccessibleClient::get_accHelp(VARIANT child, BSTR* help) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    return FAILED(hr) ? hr : ReturnText(std::wstring(), help);
}

HRESULT AccessibleClient::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    if (file != nullptr)
        *file = nullptr;
    if (topic != nullptr)
        *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleClient::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    return FAILED(hr) ? hr : ReturnText(std::wstring(), shortcut);
}

HRESULT AccessibleClient::get_accFocus(VARIANT* child) {
    if (child == nullptr)
        return E_POINTER;
    if (m_manager == nullptr)
        return RPC_E_DISCONNECTED;
    if (!WindowHasFocus())
        return NoChild(child);
    const LONG id = AccessibleChildId(m_manager->GetRoot(), m_manager->GetFocus());
    SetChild(child, id != 0 ? id : CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleClient::get_accSelection(VARIANT* children) {
    if (children == nullptr)
        return E_POINTER;
    return NoChild(children);
}

HRESULT AccessibleClient::get_accDefaultAction(VARIANT child, BSTR* action) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    const wchar_t* name = control != nullptr ? control->GetAccessibleAction() : nullptr;
    return ReturnText(name != nullptr ? name : L"", action);
}

HRESULT AccessibleClient::accSelect(long flags, VARIANT child) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (flags != SELFLAG_TAKEFOCUS)
        return E_INVALIDARG;
    if (control == nullptr) {
        ::SetFocus(m_window);
        return S_OK;
    }
    if (!control->IsKeyboardFocusable() || !control->IsShown())
        return E_FAIL;
    m_manager->FocusByKeyboard(control);
    return S_OK;
}

HRESULT AccessibleClient::accLocation(long* left, long* top, long* width, long* height,
                                      VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    RECT rc{};
    if (control == nullptr)
        ::GetClientRect(m_window, &rc);
    else
        rc = m_manager->GetScale().ToDevice(control->GetPos());
    POINT origin{rc.left, rc.top};
    ::ClientToScreen(m_window, &origin);
    *left = origin.x;
    *top = origin.y;
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    return S_OK;
}

HRESULT AccessibleClient::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (end == nullptr)
        return E_POINTER;
    ::VariantInit(end);
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(start, &control);
    if (FAILED(hr))
        return hr;
    const LONG count = static_cast<LONG>(AccessibleControls(m_manager->GetRoot()).size());
    LONG id = 0;
    if (control == nullptr) {
        if (direction == NAVDIR_FIRSTCHILD)
            id = count > 0 ? 1 : 0;
        else if (direction == NAVDIR_LASTCHILD)
            id = count;
        else
            return S_FALSE;  // siblings of the client are the system's
    } else {
        switch (direction) {
            case NAVDIR_NEXT:
            case NAVDIR_DOWN:
            case NAVDIR_RIGHT:
                id = start.lVal < count ? start.lVal + 1 : 0;
                break;
            case NAVDIR_PREVIOUS:
            case NAVDIR_UP:
            case NAVDIR_LEFT:
                id = start.lVal > 1 ? start.lVal - 1 : 0;
                break;
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD:
                return S_FALSE;  // simple elements have no children
            default:
                return E_INVALIDARG;
        }
    }
    if (id == 0)
        return S_FALSE;
    SetChild(end, id);
    return S_OK;
}

HRESULT AccessibleClient::accHitTest(long x, long y, VARIANT* child) {
    if (child == nullptr)
        return E_POINTER;
    ::VariantInit(child);
    if (m_manager == nullptr || !::IsWindow(m_window))
        return RPC_E_DISCONNECTED;
    POINT pt{x, y};
    ::ScreenToClient(m_window, &pt);
    RECT client{};
    ::GetClientRect(m_window, &client);
    if (!::PtInRect(&client, pt))
        return S_FALSE;
    pt = m_manager->GetScale().ToLogical(pt);
    const std::vector<CControlUI*> exposed = AccessibleControls(m_manager->GetRoot());
    // Later controls paint over earlier ones.
    for (size_t i = exposed.size(); i-- > 0;) {
        const RECT rc = exposed[i]->GetPos();
        if (exposed[i]->IsShown() && ::PtInRect(&rc, pt)) {
            SetChild(child, static_cast<LONG>(i) + 1);
            return S_OK;
        }
    }
    SetChild(child, CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleClient::accDoDefaultAction(VARIANT child) {
    CControlUI* control = nullptr;
    const HRESULT hr = Resolve(child, &control);
    if (FAILED(hr))
        return hr;
    if (control == nullptr || control->GetAccessibleAction() == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    if (!control->IsShown() || !::IsWindowEnabled(m_window))
        return E_FAIL;
    // As a click arrives: later, from the window's own queue, so that a
    // window the action opens does not run inside this call.
    CPaintManagerUI* manager = m_manager;
    const bool posted = manager->PostToWindowThread(
        [manager, control] {
            if (manager->HoldsControl(control))
                control->DoAccessibleAction();
        },
        "AccessibleAction");
    return posted ? S_OK : E_FAIL;
}

HRESULT AccessibleClient::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleClient::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

}  // namespace TavroLib
