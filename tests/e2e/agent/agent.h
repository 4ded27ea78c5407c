// The agent's state while it carries out a plan: the programs it started,
// what it observed, and the step results that go into result.json.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "agent/labelcheck.h"
#include "agent/plan.h"
#include "agent/snapshot.h"
#include "agent/watcher.h"
#include "util/win_handle.h"

namespace e2e {

struct StepResult {
    bool ok = true;
    bool fatal = false;  // the plan cannot go on
    std::wstring detail;
};

struct Instance {
    vorn::UniqueHandle process;
    DWORD pid = 0;
    int64_t startedMs = 0;
    bool ended = false;
    DWORD exitCode = 0;
    int64_t endedMs = -1;
    std::wstring how;  // "exited", "terminated by the plan", "ended by the agent"
};

// A window's accessibility tree: the client object, then its children.
struct AccessTree {
    std::wstring window;  // its class
    std::vector<std::wstring> lines;
    std::vector<RECT> rects;  // client pixels
};

struct StepRecord {
    Step step;
    StepResult result;
    int64_t ms = 0;
};

struct Agent {
    std::wstring out;  // result folder, ends in a backslash
    std::unique_ptr<Watcher> watcher;
    int autoShotMs = 700;
    std::map<std::wstring, Instance> instances;
    std::vector<std::wstring> order;  // instance names in launch order
    std::vector<StepRecord> records;
    std::map<std::wstring, RECT> rects;
    std::map<std::wstring, std::vector<std::wstring>> texts;
    std::map<std::wstring, AccessTree> trees;
    std::map<std::wstring, std::wstring> shots;  // label -> file
    LabelReferences labels;
    std::vector<std::wstring> snapshotRoots;
    bool haveBefore = false;
    FileTree filesBefore;
    std::vector<FileChange> fileChanges;
    std::map<std::wstring, std::wstring> captured;  // path -> copy in the result folder
    bool afterTaken = false;
    std::wstring branch;      // the window class the last branch step saw first
    bool restarting = false;  // the session ends here; the plan goes on in the next one
};

// Carries out one step of the plan.
StepResult RunStep(Agent& agent, const Step& step);
// Ends every started program that still runs and records how it ended.
void EndInstances(Agent& agent, const std::wstring& how);
// The state after the run: registry and files, with copies of changed files.
void TakeAfterSnapshot(Agent& agent);

}  // namespace e2e
