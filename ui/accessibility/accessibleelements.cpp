#include "ui/accessibility/accessibleelements.h"

#include <algorithm>

#include "ui/control.h"

namespace TavroLib {
namespace {

bool CollectExposed(CControlUI* control, void* data) {
    if (control->GetAccessibleRole() != 0)
        static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return true;
}

bool CollectStops(CControlUI* control, void* data) {
    if (control->IsKeyboardFocusable() && control->IsShown())
        static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return true;
}

}  // namespace

std::vector<CControlUI*> AccessibleControls(CControlUI* root) {
    std::vector<CControlUI*> list;
    if (root != nullptr)
        root->ForEach(CollectExposed, &list);
    return list;
}

LONG AccessibleChildId(CControlUI* root, const CControlUI* control) {
    if (control == nullptr)
        return 0;
    const std::vector<CControlUI*> list = AccessibleControls(root);
    const auto it = std::find(list.begin(), list.end(), control);
    return it == list.end() ? 0 : static_cast<LONG>(it - list.begin()) + 1;
}

CControlUI* AccessibleControlAt(CControlUI* root, LONG childId) {
    const std::vector<CControlUI*> list = AccessibleControls(root);
    if (childId < 1 || static_cast<size_t>(childId) > list.size())
        return nullptr;
    return list[static_cast<size_t>(childId) - 1];
}

std::vector<CControlUI*> FocusOrder(CControlUI* root) {
    std::vector<CControlUI*> list;
    if (root != nullptr)
        root->ForEach(CollectStops, &list);
    return list;
}

CControlUI* NextFocusStop(CControlUI* root, const CControlUI* current, bool backward) {
    const std::vector<CControlUI*> stops = FocusOrder(root);
    if (stops.empty())
        return nullptr;
    const auto it = std::find(stops.begin(), stops.end(), current);
    const size_t n = stops.size();
    if (it == stops.end())
        return backward ? stops.back() : stops.front();
    const size_t i = static_cast<size_t>(it - stops.begin());
    return stops[backward ? (i + n - 1) % n : (i + 1) % n];
}

}  // namespace TavroLib
