// Screen-reader steps: the window's accessibility tree as oleacc hands it to
// any client in another process, and default actions done through it.
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "agent/steps_internal.h"
#include "util/com_scope.h"

namespace e2e {
namespace {

std::wstring TakeBstr(BSTR text) {
    std::wstring s = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return s;
}

VARIANT Child(LONG id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// Fixed names: GetRoleText speaks the prefix's language.
std::wstring RoleText(LONG role) {
    static const struct {
        LONG role;
        const wchar_t* name;
    } kRoles[] = {
        {ROLE_SYSTEM_CLIENT, L"client"},     {ROLE_SYSTEM_DIALOG, L"dialog"},
        {ROLE_SYSTEM_PUSHBUTTON, L"button"}, {ROLE_SYSTEM_CHECKBUTTON, L"check box"},
        {ROLE_SYSTEM_TEXT, L"edit"},         {ROLE_SYSTEM_LINK, L"link"},
        {ROLE_SYSTEM_STATICTEXT, L"text"},   {ROLE_SYSTEM_PROGRESSBAR, L"progress bar"},
    };
    for (const auto& r : kRoles) {
        if (r.role == role)
            return r.name;
    }
    return L"role " + std::to_wstring(role);
}

std::wstring StateText(LONG state) {
    static const struct {
        DWORD bit;
        const wchar_t* name;
    } kStates[] = {
        {STATE_SYSTEM_FOCUSABLE, L"focusable"},     {STATE_SYSTEM_FOCUSED, L"focused"},
        {STATE_SYSTEM_CHECKED, L"checked"},         {STATE_SYSTEM_INVISIBLE, L"invisible"},
        {STATE_SYSTEM_UNAVAILABLE, L"unavailable"}, {STATE_SYSTEM_LINKED, L"linked"},
        {STATE_SYSTEM_READONLY, L"read-only"},
    };
    std::wstring text;
    for (const auto& s : kStates) {
        if ((static_cast<DWORD>(state) & s.bit) != 0)
            text += (text.empty() ? L"" : L",") + std::wstring(s.name);
    }
    return text;
}

struct Element {
    std::wstring line;  // role "name" [states] value action
    RECT rect{};        // client pixels: left, top, right, bottom
};

// One element of the tree in the form the scenarios compare.
Element Describe(IAccessible* acc, LONG id, POINT origin) {
    const VARIANT child = Child(id);
    BSTR bstr = nullptr;
    acc->get_accName(child, &bstr);
    const std::wstring name = TakeBstr(bstr);
    bstr = nullptr;
    acc->get_accValue(child, &bstr);
    const std::wstring value = TakeBstr(bstr);
    bstr = nullptr;
    acc->get_accDefaultAction(child, &bstr);
    const std::wstring action = TakeBstr(bstr);
    bstr = nullptr;
    acc->get_accDescription(child, &bstr);
    const std::wstring description = TakeBstr(bstr);
    VARIANT role, state;
    ::VariantInit(&role);
    ::VariantInit(&state);
    acc->get_accRole(child, &role);
    acc->get_accState(child, &state);
    long x = 0, y = 0, w = 0, h = 0;
    acc->accLocation(&x, &y, &w, &h, child);
    Element e;
    e.line = RoleText(role.vt == VT_I4 ? role.lVal : 0) + L" \"" + name + L"\" [" +
             StateText(state.vt == VT_I4 ? state.lVal : 0) + L"]";
    if (!value.empty())
        e.line += L" value=" + value;
    if (!description.empty())
        e.line += L" text=" + description;
    if (!action.empty())
        e.line += L" action=" + action;
    e.rect = RECT{x - origin.x, y - origin.y, x - origin.x + w, y - origin.y + h};
    return e;
}

bool ClientObject(HWND hwnd, vorn::ComPtr<IAccessible>& acc) {
    return SUCCEEDED(::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT),
                                                  __uuidof(IAccessible), acc.ReceiveVoid())) &&
           acc;
}

// The children in accNavigate order; the count must agree with accChildCount.
bool ChildIds(IAccessible* acc, std::vector<LONG>& ids, std::wstring& error) {
    long count = 0;
    if (FAILED(acc->get_accChildCount(&count))) {
        error = L"accChildCount failed";
        return false;
    }
    VARIANT at;
    HRESULT hr = acc->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), &at);
    while (hr == S_OK && at.vt == VT_I4 && ids.size() <= static_cast<size_t>(count)) {
        IDispatch* object = nullptr;
        if (acc->get_accChild(at, &object) != S_FALSE || object != nullptr) {
            if (object != nullptr)
                object->Release();
            error = L"child " + std::to_wstring(at.lVal) + L" is not a simple element";
            return false;
        }
        ids.push_back(at.lVal);
        const VARIANT from = at;
        hr = acc->accNavigate(NAVDIR_NEXT, from, &at);
    }
    if (ids.size() != static_cast<size_t>(count)) {
        error = L"accNavigate found " + std::to_wstring(ids.size()) + L" children, accChildCount " +
                std::to_wstring(count);
        return false;
    }
    return true;
}

StepResult Tree(Agent& agent, HWND hwnd, const std::wstring& window, const std::wstring& label) {
    vorn::ComPtr<IAccessible> acc;
    if (!ClientObject(hwnd, acc))
        return Fail(L"no accessible object for the window", false);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    std::vector<LONG> ids;
    std::wstring error;
    if (!ChildIds(acc.Get(), ids, error))
        return Fail(error, false);
    ids.insert(ids.begin(), CHILDID_SELF);
    AccessTree& tree = agent.trees[label];
    tree = {};
    tree.window = window;
    for (LONG id : ids) {
        const Element e = Describe(acc.Get(), id, origin);
        tree.lines.push_back(e.line);
        tree.rects.push_back(e.rect);
    }
    return {};
}

StepResult Press(HWND hwnd, const std::wstring& name) {
    vorn::ComPtr<IAccessible> acc;
    if (!ClientObject(hwnd, acc))
        return Fail(L"no accessible object for the window", false);
    long count = 0;
    acc->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
        BSTR bstr = nullptr;
        acc->get_accName(Child(id), &bstr);
        if (TakeBstr(bstr) != name)
            continue;
        const HRESULT hr = acc->accDoDefaultAction(Child(id));
        return SUCCEEDED(hr) ? StepResult{}
                             : Fail(L"the default action of \"" + name + L"\" failed (" +
                                    std::to_wstring(static_cast<unsigned long>(hr)) + L")");
    }
    return Fail(L"no element named \"" + name + L"\"", false);
}

}  // namespace

StepResult AccessStep(Agent& agent, const Step& s, bool& known, HWND hwnd) {
    known = true;
    // Out-of-process objects answer through COM: this thread needs an apartment.
    vorn::ComApartment apartment;
    if (s.verb == L"tree")
        return Tree(agent, hwnd, s.Arg(0), s.Arg(1));
    if (s.verb == L"press")
        return Press(hwnd, s.Arg(1));
    known = false;
    return {};
}

}  // namespace e2e
