// Stopping a program at a moment found from outside (its process killed, or
// the whole Wine session with it), restarting the session, and the branches
// of a road that the program chooses itself.
#include <windows.h>

#include <fstream>
#include <random>

#include "agent/session.h"
#include "agent/steps_internal.h"
#include "agent/stop.h"
#include "driver/gui_driver.h"
#include "util/string_util.h"

namespace e2e {
namespace {

// The runner kills the session at once; longer means it never will.
constexpr DWORD kSessionKillWaitMs = 30000;
// Fields of a condition on a stop line: role, kind, argument, number.
constexpr size_t kConditionFields = 4;
constexpr size_t kFirstCondition = 4;
// The longest a frozen program runs between two looks, in microseconds.
constexpr int kLongestStepUs = 600;

bool WriteText(const std::wstring& path, const std::string& text) {
    {
        std::ofstream out((path + L".tmp").c_str(), std::ios::binary | std::ios::trunc);
        out << text;
        if (!out)
            return false;
    }
    return ::MoveFileExW((path + L".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? value : L"";
}

// Waits without giving up the processor: Sleep's steps are a millisecond.
void RunFor(int microseconds) {
    LARGE_INTEGER frequency{}, start{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const LONGLONG ticks = frequency.QuadPart * microseconds / 1000000;
    do {
        ::QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < ticks);
}

std::wstring Describe(const std::vector<Condition>& conditions) {
    std::wstring text;
    for (const auto& c : conditions)
        text += (text.empty() ? L"" : L"; ") + c.Describe();
    return text.empty() ? L"at once" : text;
}

// The session ends with the plan saved to go on after this step: the runner
// starts the agent again when the again file is there.
bool HandOver(Agent& agent, const Step& s, const std::wstring& detail) {
    StepRecord own{s, StepResult{}, Now()};
    own.result.detail = detail;
    agent.records.push_back(own);
    const bool saved = SaveSession(agent, s.line + 1);
    agent.records.pop_back();
    return saved && WriteText(AgainFile(agent), "again\n");
}

void WithdrawHandOver(const Agent& agent) {
    ::DeleteFileW(AgainFile(agent).c_str());
    ::DeleteFileW((agent.out + L"session.txt").c_str());
    ::DeleteFileW((agent.out + L"session-kill").c_str());
}

// Every process of the prefix and the Wine server die at once, by the
// runner's hand (SIGKILL): what the server had not saved of the registry is
// lost, as after a power cut. The registry as it was goes to reg-at-stop.txt.
StepResult KillSession(Agent& agent, const Step& s, Instance& inst, const std::wstring& detail) {
    DumpRegistry(agent.out + L"reg-at-stop.txt");
    inst.ended = true;
    inst.endedMs = Now();
    inst.how = L"killed with the session";
    const std::wstring prefix = Env(L"WINEPREFIX");
    if (prefix.empty())
        return Fail(L"WINEPREFIX is not set");
    if (!HandOver(agent, s, detail) ||
        !WriteText(agent.out + L"session-kill", vorn::WideToUtf8(prefix) + "\n")) {
        WithdrawHandOver(agent);
        return Fail(L"cannot ask the runner to kill the session");
    }
    ::Sleep(kSessionKillWaitMs);
    WithdrawHandOver(agent);
    return Fail(L"the runner did not kill the session within " +
                std::to_wstring(kSessionKillWaitMs / 1000) + L" s");
}

// Whether every condition holds (false with error when one cannot be told).
bool AllHold(const std::vector<Condition>& conditions, const Surroundings& around,
             std::wstring& error) {
    for (const auto& c : conditions) {
        if (!Holds(c, around, error))
            return false;
    }
    return true;
}

// The first condition that holds, or null.
const Condition* AnyHolds(const std::vector<Condition>& conditions, const Surroundings& around,
                          std::wstring& error) {
    for (const auto& c : conditions) {
        if (Holds(c, around, error) && error.empty())
            return &c;
    }
    return nullptr;
}

bool ReadConditions(const Step& s, std::vector<Condition>& approach, std::vector<Condition>& when,
                    std::vector<Condition>& missed, std::wstring& error) {
    if ((s.args.size() - kFirstCondition) % kConditionFields != 0) {
        error = L"a condition of the stop lacks a field";
        return false;
    }
    for (size_t i = kFirstCondition; i + kConditionFields <= s.args.size(); i += kConditionFields) {
        Condition c{s.args[i + 1], s.args[i + 2],
                    static_cast<uint64_t>(_wcstoi64(s.args[i + 3].c_str(), nullptr, 10))};
        if (s.args[i] == L"near") {
            approach.push_back(c);
        } else if (s.args[i] == L"when") {
            when.push_back(c);
        } else if (s.args[i] == L"missed") {
            missed.push_back(c);
        } else {
            error = L"a condition is none of 'near', 'when' and 'missed': " + s.args[i];
            return false;
        }
    }
    return true;
}

// stop NAME KIND TIMEOUT EVERY [ROLE KIND ARG NUMBER]...: once every 'near'
// condition holds (looked at every EVERY ms while the program runs), freezes
// the program again and again until every 'when' condition holds, then kills
// it (KIND "process") or the whole session ("session") before it runs on. A
// 'missed' condition that holds once near means the moment has passed unseen.
StepResult Stop(Agent& agent, const Step& s) {
    auto it = agent.instances.find(s.Arg(0));
    if (it == agent.instances.end())
        return Fail(L"no instance named " + s.Arg(0));
    Instance& inst = it->second;
    const std::wstring& kind = s.Arg(1);
    if (kind != L"process" && kind != L"session")
        return Fail(L"unknown kind of stop " + kind);
    std::vector<Condition> approach, when, missed;
    std::wstring error;
    if (s.args.size() < kFirstCondition || !ReadConditions(s, approach, when, missed, error))
        return Fail(error.empty() ? L"a stop needs a name, a kind, a time-out and a pause" : error);
    const Surroundings around{agent.watcher.get(), agent.out + L"services\\requests.jsonl"};
    const ULONGLONG started = ::GetTickCount64();
    const ULONGLONG deadline = started + static_cast<ULONGLONG>(s.IntArg(2, 20000));
    const DWORD every = static_cast<DWORD>(s.IntArg(3, 10));
    ULONGLONG frozenMs = 0;
    int looks = 0;
    auto looked = [&] {
        return std::to_wstring(looks) + L" looks, frozen " + std::to_wstring(frozenMs) + L" of " +
               std::to_wstring(::GetTickCount64() - started) + L" ms";
    };
    auto ended = [&] {
        if (::WaitForSingleObject(inst.process.Get(), 0) != WAIT_OBJECT_0)
            return false;
        RecordEnd(inst, L"exited");
        return true;
    };
    auto passed = [&](const Condition& c) {
        return Fail(L"the moment passed unseen: " + c.Describe() + L" (" + looked() + L")");
    };
    // Near the moment the program only runs in short steps, so it is not let
    // crawl any longer than needed.
    while (!AllHold(approach, around, error)) {
        if (!error.empty())
            return Fail(error);
        if (ended())
            return Fail(L"the program ended before it came near the moment to stop it");
        if (::GetTickCount64() > deadline)
            return Fail(L"the program did not come near the moment to stop it within " + s.Arg(2) +
                        L" ms (" + Describe(approach) + L")");
        ::Sleep(every);
    }
    // A program is looked at frozen only once it has started up and waits
    // for input: frozen while Wine starts it, it may never stop.
    ::WaitForInputIdle(inst.process.Get(), static_cast<DWORD>(deadline - ::GetTickCount64()));
    Freezer frozen(inst.process.Get());
    std::minstd_rand pauses(static_cast<unsigned>(started));
    for (;; ++looks) {
        // The program's end is a request of its own: asked now and then only,
        // so that it moves on as little as possible between two looks.
        const ULONGLONG lookStarted = ::GetTickCount64();
        const bool held = frozen.Freeze();
        if ((!held || looks % 64 == 0) && ended()) {
            return Fail(L"the program ended before the moment to stop it (" + Describe(when) +
                        L")");
        }
        if (frozen.Broken())
            return Fail(L"the threads of the program did not stop when it was frozen");
        if (held) {
            if (const Condition* c = AnyHolds(missed, around, error))
                return passed(*c);
            if (AllHold(when, around, error)) {
                const std::wstring detail =
                    L"stopped (" + kind + L") after " + looked() + L": " + Describe(when);
                if (kind == L"session")
                    return KillSession(agent, s, inst, detail);
                ::TerminateProcess(inst.process.Get(), 0xE2E);
                ::WaitForSingleObject(inst.process.Get(), 10000);
                RecordEnd(inst, L"terminated by the plan");
                StepResult r;
                r.detail = detail;
                return r;
            }
            if (!error.empty())
                return Fail(error);
        }
        frozen.Thaw();
        frozenMs += ::GetTickCount64() - lookStarted;
        if (::GetTickCount64() > deadline) {
            return Fail(L"the moment to stop did not come within " + s.Arg(2) + L" ms (" +
                        Describe(when) + L"; " + looked() + L")");
        }
        // A thread that was let go needs a moment to leave its suspension:
        // frozen again at once it would never move on. Pauses of random
        // length let it take steps of every size, short ones included.
        RunFor(std::uniform_int_distribution<int>(0, kLongestStepUs)(pauses));
    }
}

// branch TIMEOUT CLASS...: waits for a window of one of the classes; the
// steps marked for that class follow.
StepResult Branch(Agent& agent, const Step& s) {
    agent.branch.clear();
    const bool seen = vorn::gui::WaitFor(
        [&] {
            for (size_t i = 1; i < s.args.size(); ++i) {
                if (agent.watcher->FindVisible(s.args[i]) != nullptr) {
                    agent.branch = s.args[i];
                    return true;
                }
            }
            return false;
        },
        static_cast<DWORD>(s.IntArg(0, 20000)));
    if (!seen)
        return Fail(L"none of the windows of the branch became visible within " + s.Arg(0) +
                    L" ms");
    StepResult r;
    r.detail = L"the road goes through " + agent.branch;
    return r;
}

}  // namespace

StepResult StopStep(Agent& agent, const Step& s, bool& known) {
    known = true;
    if (s.verb == L"stop")
        return Stop(agent, s);
    if (s.verb == L"branch")
        return Branch(agent, s);
    if (s.verb == L"on") {
        // on CLASS VERB ARGS...: the step, when the road went through CLASS.
        if (s.Arg(0) != agent.branch) {
            StepResult r;
            r.detail = L"not on this road";
            return r;
        }
        Step inner;
        inner.line = s.line;
        inner.verb = s.Arg(1);
        inner.args.assign(s.args.begin() + (s.args.size() > 2 ? 2 : s.args.size()), s.args.end());
        return RunStep(agent, inner);
    }
    if (s.verb == L"restart") {
        // The Wine server saves the registry when its session ends in order.
        if (!HandOver(agent, s, L"the session was restarted")) {
            WithdrawHandOver(agent);
            return Fail(L"cannot save the session");
        }
        agent.restarting = true;
        return {};
    }
    known = false;
    return {};
}

}  // namespace e2e
