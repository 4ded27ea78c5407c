// Changes a screen reader hears of, gathered between two repaints and sent
// after the paint, so that a fast progress never floods it.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "ui/types.h"

namespace TavroLib {

class CControlUI;

class AccessibleEventQueue {
  public:
    void Add(CControlUI* control, AccessibleChange change);
    // The control leaves the tree: its pending changes go with it.
    void Forget(const CControlUI* control);
    // Sends the pending changes as win events of the window's client object.
    void Flush(HWND window, CControlUI* root);
    bool Empty() const { return m_pending.empty(); }

  private:
    std::vector<std::pair<CControlUI*, AccessibleChange>> m_pending;
};

}  // namespace TavroLib
