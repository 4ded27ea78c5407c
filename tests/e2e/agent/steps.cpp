#include "agent/steps_internal.h"

namespace e2e {

StepResult Fail(const std::wstring& detail, bool fatal) {
    StepResult r;
    r.ok = false;
    r.fatal = fatal;
    r.detail = detail;
    return r;
}

StepResult RunStep(Agent& agent, const Step& step) {
    bool known = false;
    StepResult r = SetupStep(agent, step, known);
    if (known)
        return r;
    r = ActionStep(agent, step, known);
    if (known)
        return r;
    r = StopStep(agent, step, known);
    if (known)
        return r;
    return Fail(L"unknown step '" + step.verb + L"'");
}

}  // namespace e2e
