// Step handlers, grouped by what they act on; RunStep dispatches to them.
#pragma once

#include "agent/agent.h"

namespace e2e {

StepResult Fail(const std::wstring& detail, bool fatal = true);

// Machine set-up before the run, snapshots (steps_setup.cpp).
StepResult SetupStep(Agent& agent, const Step& step, bool& known);
// Programs, windows and input (steps_action.cpp).
StepResult ActionStep(Agent& agent, const Step& step, bool& known);
// Stops at moments found from outside, session restarts and branches of the
// road (steps_stop.cpp).
StepResult StopStep(Agent& agent, const Step& step, bool& known);
// Accessibility trees and default actions through oleacc (steps_access.cpp).
StepResult AccessStep(Agent& agent, const Step& step, bool& known, HWND hwnd);
// Records how a started program ended (steps_action.cpp).
void RecordEnd(Instance& inst, const std::wstring& how);

}  // namespace e2e
