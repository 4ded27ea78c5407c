// The controls of a window as a screen reader sees them: a flat list in
// layout order, whose child ids are the positions from 1.
#pragma once

#include <windows.h>

#include <vector>

namespace TavroLib {

class CControlUI;

// Controls with a role, in layout order.
std::vector<CControlUI*> AccessibleControls(CControlUI* root);
// The control's child id, or 0 when it is not in the list.
LONG AccessibleChildId(CControlUI* root, const CControlUI* control);
// The control of a child id, or null.
CControlUI* AccessibleControlAt(CControlUI* root, LONG childId);

// Tab stops in layout order: shown, keyboard-focusable controls.
std::vector<CControlUI*> FocusOrder(CControlUI* root);
// The stop after (or before) current; the first (or last) without one.
CControlUI* NextFocusStop(CControlUI* root, const CControlUI* current, bool backward);

}  // namespace TavroLib
