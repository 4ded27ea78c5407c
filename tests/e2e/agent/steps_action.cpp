// Action steps: starting programs, waiting for their windows, real input,
// captures, and the programs' ends.
#include <windows.h>

#include <vector>

#include "agent/steps_internal.h"
#include "driver/gui_driver.h"

namespace e2e {
namespace {

constexpr DWORD kTextTimeoutMs = 2000;
// A person looks at a new window before acting on it; input sent while Wine
// still maps it can get lost.
constexpr int64_t kLookMs = 700;

HWND WaitVisible(Agent& agent, const std::wstring& cls, DWORD ms) {
    HWND found = nullptr;
    vorn::gui::WaitFor(
        [&] {
            found = agent.watcher->FindVisible(cls);
            return found != nullptr;
        },
        ms);
    if (found != nullptr) {
        vorn::gui::WaitFor([&] { return agent.watcher->VisibleFor(found) >= kLookMs; },
                           static_cast<DWORD>(kLookMs) + 500);
    }
    return found;
}

// The visible window of the class, after a short grace for one just opening.
HWND Need(Agent& agent, const std::wstring& cls, StepResult& r) {
    HWND hwnd = WaitVisible(agent, cls, 2000);
    if (hwnd == nullptr)
        r = Fail(L"no visible window of class " + cls);
    return hwnd;
}

StepResult Launch(Agent& agent, const Step& s) {
    const std::wstring& name = s.Arg(0);
    if (agent.instances.count(name) != 0)
        return Fail(L"an instance named " + name + L" was started before");
    std::wstring cmd = L"\"" + s.Arg(1) + L"\"";
    if (!s.Arg(3).empty())
        cmd += L" " + s.Arg(3);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    // No standard handles, as when started from the shell: the agent's console
    // output stays the agent's.
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi{};
    const wchar_t* cwd = s.Arg(2).empty() ? nullptr : s.Arg(2).c_str();
    if (!::CreateProcessW(s.Arg(1).c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, cwd, &si,
                          &pi)) {
        return Fail(L"cannot start " + s.Arg(1) + L" (error " + std::to_wstring(::GetLastError()) +
                    L")");
    }
    ::CloseHandle(pi.hThread);
    Instance& inst = agent.instances[name];
    inst.process.Reset(pi.hProcess);
    inst.pid = pi.dwProcessId;
    inst.startedMs = Now();
    agent.order.push_back(name);
    agent.watcher->Watch(name, pi.dwProcessId);
    return {};
}

}  // namespace

void RecordEnd(Instance& inst, const std::wstring& how) {
    if (inst.ended)
        return;
    ::GetExitCodeProcess(inst.process.Get(), &inst.exitCode);
    inst.ended = true;
    inst.endedMs = Now();
    inst.how = how;
}

namespace {

StepResult WaitExit(Agent& agent, const Step& s) {
    auto it = agent.instances.find(s.Arg(0));
    if (it == agent.instances.end())
        return Fail(L"no instance named " + s.Arg(0));
    Instance& inst = it->second;
    if (::WaitForSingleObject(inst.process.Get(), static_cast<DWORD>(s.IntArg(1, 30000))) !=
        WAIT_OBJECT_0) {
        return Fail(L"the program did not end within " + s.Arg(1) + L" ms");
    }
    RecordEnd(inst, L"exited");
    return {};
}

StepResult Terminate(Agent& agent, const Step& s) {
    auto it = agent.instances.find(s.Arg(0));
    if (it == agent.instances.end())
        return Fail(L"no instance named " + s.Arg(0));
    Instance& inst = it->second;
    if (::WaitForSingleObject(inst.process.Get(), 0) == WAIT_OBJECT_0) {
        RecordEnd(inst, L"exited");
        return Fail(L"the program had already ended", false);
    }
    ::TerminateProcess(inst.process.Get(), 0xE2E);
    ::WaitForSingleObject(inst.process.Get(), 10000);
    RecordEnd(inst, L"terminated by the plan");
    return {};
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, kTextTimeoutMs, &got)) {
        return L"";
    }
    return text;
}

BOOL CALLBACK CollectChildText(HWND child, LPARAM lp) {
    if (::IsWindowVisible(child))
        reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(TextOf(child));
    return TRUE;
}

StepResult Texts(Agent& agent, const Step& s) {
    StepResult r;
    HWND hwnd = Need(agent, s.Arg(0), r);
    if (hwnd == nullptr)
        return r;
    std::vector<std::wstring> texts{TextOf(hwnd)};
    ::EnumChildWindows(hwnd, CollectChildText, reinterpret_cast<LPARAM>(&texts));
    agent.texts[s.Arg(1)] = texts;
    return {};
}

StepResult Shot(Agent& agent, const Step& s) {
    vorn::gui::Capture shot;
    bool ok;
    if (s.Arg(0) == L"screen") {
        ok = vorn::gui::CaptureScreen(shot);
    } else {
        StepResult r;
        HWND hwnd = Need(agent, s.Arg(0), r);
        if (hwnd == nullptr)
            return Fail(r.detail, false);
        ok = vorn::gui::CaptureWindow(hwnd, shot);
    }
    const std::wstring name = agent.watcher->NextShotName(s.Arg(1));
    if (!ok || !shot.SavePng(agent.out + L"shots\\" + name))
        return Fail(L"the capture failed", false);
    agent.shots[s.Arg(1)] = name;
    return {};
}

// The pixels of the capture inside the client rectangle (window coordinates
// of a frameless window), for telling frames apart.
std::vector<uint32_t> AreaOf(const vorn::gui::Capture& c, const RECT& area) {
    std::vector<uint32_t> out;
    for (LONG y = area.top; y < area.bottom; ++y) {
        for (LONG x = area.left; x < area.right; ++x)
            out.push_back(c.At(x, y));
    }
    return out;
}

// Captures the window every few milliseconds for as long as it stays visible:
// a film of its progress. A frame is kept when the watched area differs from
// the last kept frame's and at least `gap` ms have passed; the last frame
// before the window goes is always kept.
StepResult Film(Agent& agent, const Step& s) {
    StepResult r;
    HWND hwnd = Need(agent, s.Arg(0), r);
    if (hwnd == nullptr)
        return Fail(r.detail, false);
    const DWORD every = static_cast<DWORD>(s.IntArg(2, 250));
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(s.IntArg(3, 120000));
    const ULONGLONG gap = static_cast<ULONGLONG>(s.IntArg(4, 0));
    RECT area{s.IntArg(5, 0), s.IntArg(6, 0), s.IntArg(7, 0), s.IntArg(8, 0)};
    int kept = 0;
    ULONGLONG keptAt = 0;
    std::vector<uint32_t> keptArea;
    vorn::gui::Capture pending;  // the newest frame not kept
    auto keep = [&](vorn::gui::Capture& frame) {
        const std::wstring label = s.Arg(1) + L"-" + std::to_wstring(++kept);
        const std::wstring name = agent.watcher->NextShotName(label);
        if (frame.SavePng(agent.out + L"shots\\" + name))
            agent.shots[label] = name;
        keptAt = ::GetTickCount64();
    };
    while (::IsWindow(hwnd) && ::IsWindowVisible(hwnd) && ::GetTickCount64() < deadline) {
        vorn::gui::Capture frame;
        if (vorn::gui::CaptureWindow(hwnd, frame)) {
            if (area.right <= area.left)
                area = RECT{0, 0, frame.width, frame.height};
            std::vector<uint32_t> now = AreaOf(frame, area);
            if (now != keptArea && ::GetTickCount64() - keptAt >= gap) {
                keep(frame);
                keptArea = std::move(now);
                pending = {};
            } else {
                pending = std::move(frame);
            }
        }
        ::Sleep(every);
    }
    if (!pending.pixels.empty())
        keep(pending);
    if (::IsWindow(hwnd) && ::IsWindowVisible(hwnd))
        return Fail(L"the window was still visible at the end of the film", false);
    return {};
}

StepResult ExpectLabel(Agent& agent, const Step& s) {
    StepResult r;
    HWND hwnd = Need(agent, s.Arg(0), r);
    if (hwnd == nullptr)
        return Fail(r.detail, false);
    const RECT area{s.IntArg(1), s.IntArg(2), s.IntArg(3), s.IntArg(4)};
    int differing = 0;
    std::wstring error;
    if (agent.labels.Matches(hwnd, s.Arg(5), area, differing, error))
        return {};
    vorn::gui::Capture shot;
    const std::wstring name = agent.watcher->NextShotName(L"label-mismatch");
    if (vorn::gui::CaptureWindow(hwnd, shot))
        shot.SavePng(agent.out + L"shots\\" + name);
    return Fail(error.empty() ? L"the window does not show \"" + s.Arg(5) + L"\" (" +
                                    std::to_wstring(differing) +
                                    L" pixels differ from the "
                                    L"reference; see " +
                                    name + L")"
                              : error,
                false);
}

}  // namespace

StepResult ActionStep(Agent& agent, const Step& s, bool& known) {
    known = true;
    const std::wstring& v = s.verb;
    StepResult r;
    if (v == L"launch")
        return Launch(agent, s);
    if (v == L"exit")
        return WaitExit(agent, s);
    if (v == L"terminate")
        return Terminate(agent, s);
    if (v == L"sleep") {
        ::Sleep(static_cast<DWORD>(s.IntArg(0)));
        return {};
    }
    if (v == L"wait") {
        return WaitVisible(agent, s.Arg(0), static_cast<DWORD>(s.IntArg(1, 20000))) != nullptr
                   ? StepResult{}
                   : Fail(L"no window of class " + s.Arg(0) + L" became visible within " +
                          s.Arg(1) + L" ms");
    }
    if (v == L"gone") {
        if (!vorn::gui::WaitFor([&] { return agent.watcher->FindVisible(s.Arg(0)) == nullptr; },
                                static_cast<DWORD>(s.IntArg(1, 20000)))) {
            return Fail(L"the window of class " + s.Arg(0) + L" was still open after " + s.Arg(1) +
                        L" ms");
        }
        // The window below is activated again meanwhile; a click into it before
        // that has settled can be undone by the activation.
        ::Sleep(static_cast<DWORD>(kLookMs));
        return {};
    }
    if (v == L"open") {
        return agent.watcher->FindVisible(s.Arg(0)) != nullptr
                   ? StepResult{}
                   : Fail(L"no window of class " + s.Arg(0) + L" is open", false);
    }
    if (v == L"shot")
        return Shot(agent, s);
    if (v == L"film")
        return Film(agent, s);
    if (v == L"texts")
        return Texts(agent, s);
    if (v == L"expect-label")
        return ExpectLabel(agent, s);
    HWND hwnd = nullptr;
    if (v == L"click" || v == L"drag" || v == L"key" || v == L"type" || v == L"rect" ||
        v == L"tree" || v == L"press") {
        hwnd = Need(agent, s.Arg(0), r);
        if (hwnd == nullptr)
            return r;
    }
    if (v == L"tree" || v == L"press")
        return AccessStep(agent, s, known, hwnd);
    if (v == L"click") {
        return vorn::gui::Click(hwnd, s.IntArg(1), s.IntArg(2)) ? StepResult{}
                                                                : Fail(L"the click failed");
    }
    if (v == L"drag") {
        return vorn::gui::Drag(hwnd, s.IntArg(1), s.IntArg(2), s.IntArg(3), s.IntArg(4))
                   ? StepResult{}
                   : Fail(L"the drag failed");
    }
    if (v == L"key") {
        return vorn::gui::Key(hwnd, s.Arg(1))
                   ? StepResult{}
                   : Fail(L"the keys " + s.Arg(1) + L" could not be sent");
    }
    if (v == L"type") {
        return vorn::gui::TypeText(hwnd, s.Arg(1)) ? StepResult{} : Fail(L"typing failed");
    }
    if (v == L"rect") {
        RECT rc{};
        ::GetWindowRect(hwnd, &rc);
        agent.rects[s.Arg(1)] = rc;
        return {};
    }
    known = false;
    return {};
}

void EndInstances(Agent& agent, const std::wstring& how) {
    for (auto& [name, inst] : agent.instances) {
        if (inst.ended)
            continue;
        if (::WaitForSingleObject(inst.process.Get(), 0) == WAIT_OBJECT_0) {
            RecordEnd(inst, L"exited");
            continue;
        }
        ::TerminateProcess(inst.process.Get(), 0xE2E);
        ::WaitForSingleObject(inst.process.Get(), 10000);
        RecordEnd(inst, how);
    }
}

}  // namespace e2e
