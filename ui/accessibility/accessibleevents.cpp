#include "ui/accessibility/accessibleevents.h"

#include <algorithm>

#include "ui/accessibility/accessibleelements.h"
#include "ui/control.h"

namespace TavroLib {
namespace {

DWORD WinEventOf(AccessibleChange change) {
    switch (change) {
        case AccessibleChange::Name:
            return EVENT_OBJECT_NAMECHANGE;
        case AccessibleChange::Value:
            return EVENT_OBJECT_VALUECHANGE;
        case AccessibleChange::State:
            return EVENT_OBJECT_STATECHANGE;
        case AccessibleChange::Focus:
            return EVENT_OBJECT_FOCUS;
    }
    return 0;
}

}  // namespace

void AccessibleEventQueue::Add(CControlUI* control, AccessibleChange change) {
    const auto entry = std::make_pair(control, change);
    if (std::find(m_pending.begin(), m_pending.end(), entry) == m_pending.end())
        m_pending.push_back(entry);
}

void AccessibleEventQueue::Forget(const CControlUI* control) {
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                   [control](const auto& e) { return e.first == control; }),
                    m_pending.end());
}

void AccessibleEventQueue::Flush(HWND window, CControlUI* root) {
    if (m_pending.empty())
        return;
    std::vector<std::pair<CControlUI*, AccessibleChange>> pending;
    pending.swap(m_pending);
    const std::vector<CControlUI*> exposed = AccessibleControls(root);
    for (const auto& [control, change] : pending) {
        const auto it = std::find(exposed.begin(), exposed.end(), control);
        if (it == exposed.end())
            continue;
        const LONG child = static_cast<LONG>(it - exposed.begin()) + 1;
        ::NotifyWinEvent(WinEventOf(change), window, OBJID_CLIENT, child);
    }
}

}  // namespace TavroLib
