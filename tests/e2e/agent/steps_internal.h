// Step handlers, grouped by what they act on; RunStep dispatches to them.
#pragma once

#include "agent/agent.h"

namespace e2e {

StepResult Fail(const std::wstring& detail, bool fatal = true);

// Machine set-up before the run, snapshots (steps_setup.cpp).
StepResult SetupStep(Agent& agent, const Step& step, bool& known);
// Programs, windows and input (steps_action.cpp).
StepResult ActionStep(Agent& agent, const Step& step, bool& known);

}  // namespace e2e
