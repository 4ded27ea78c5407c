// What the agent keeps when its Wine session ends in the middle of a plan, on
// purpose: a restart that lets the Wine server save the registry, or a kill
// of every process of the prefix. The same plan is started again in the same
// prefix and goes on after the step that ended the session.
#pragma once

#include <string>
#include <vector>

#include "agent/agent.h"

namespace e2e {

// The file the runner looks for when the program ends: present, it runs the
// agent again in the same prefix (VORN_WINE_AGAIN of wine-run.sh).
std::wstring AgainFile(const Agent& agent);

// Writes the state with the plan line to go on at; false when it cannot.
bool SaveSession(const Agent& agent, int resumeLine);

// Reads a saved state, if there is one, and removes it. resumeLine is 0 when
// the plan starts from its beginning.
bool LoadSession(Agent& agent, const std::vector<Step>& steps, int& resumeLine,
                 std::wstring& error);

// Set-up steps that only shape the agent itself: run again on a resumed plan.
bool RepeatedOnResume(const Step& step);

}  // namespace e2e
