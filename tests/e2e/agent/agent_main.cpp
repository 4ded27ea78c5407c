// vorn-e2e-agent: the Windows side of an end-to-end scenario. Runs inside the
// scenario's fresh Wine prefix, carries out the plan the runner wrote (set-up,
// programs, real input), watches the windows and programs, and writes what it
// saw to result.json beside the plan.
//   vorn-e2e-agent.exe PLAN_FILE
// Exit codes: 0 the plan ran to its end, 1 a step stopped it, 2 usage or no plan.
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "agent/agent.h"
#include "agent/json_writer.h"
#include "agent/session.h"
#include "util/path_util.h"
#include "util/string_util.h"

namespace {

using e2e::JsonWriter;

void WriteRect(JsonWriter& j, const RECT& r) {
    j.BeginArray().Number(r.left).Number(r.top).Number(r.right).Number(r.bottom).EndArray();
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? value : L"";
}

void WriteMachine(JsonWriter& j) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    j.Key("machine").BeginObject();
    j.Key("temp").String(std::wstring(temp));
    j.Key("profile").String(Env(L"USERPROFILE"));
    j.Key("ansi_codepage").Number(::GetACP());
    HDC screen = ::GetDC(nullptr);
    j.Key("dpi").Number(screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0);
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t date[16];
    swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    j.Key("date").String(std::wstring(date));
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    j.Key("work_area");
    WriteRect(j, work);
    j.Key("drives").BeginObject();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring root = std::wstring(1, letter) + L":\\";
        const UINT type = ::GetDriveTypeW(root.c_str());
        if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN)
            continue;
        ULARGE_INTEGER avail{}, total{}, free{};
        ::GetDiskFreeSpaceExW(root.c_str(), &avail, &total, &free);
        j.Key(vorn::WideToUtf8(root.substr(0, 2))).BeginObject();
        j.Key("type").Number(type).Key("free").Number(static_cast<int64_t>(free.QuadPart));
        j.Key("total").Number(static_cast<int64_t>(total.QuadPart)).EndObject();
    }
    j.EndObject().EndObject();
}

void WriteObservations(JsonWriter& j, const e2e::Agent& a) {
    j.Key("instances").BeginArray();
    for (const auto& name : a.order) {
        const e2e::Instance& i = a.instances.at(name);
        j.BeginObject().Key("name").String(name).Key("pid").Number(i.pid);
        j.Key("started_ms").Number(i.startedMs).Key("ended").Bool(i.ended);
        j.Key("exit_code").Number(i.exitCode).Key("ended_ms").Number(i.endedMs);
        j.Key("how").String(i.how).EndObject();
    }
    j.EndArray();
    j.Key("windows").BeginArray();
    for (const auto& w : a.watcher->Windows()) {
        j.BeginObject().Key("instance").String(w.instance).Key("class").String(w.className);
        j.Key("title").String(w.title).Key("shown_ms").Number(w.shownMs);
        j.Key("hidden_ms").Number(w.hiddenMs).Key("gone_ms").Number(w.goneMs);
        j.Key("first_rect");
        WriteRect(j, w.firstRect);
        j.Key("settled_rect");
        WriteRect(j, w.settledRect);
        j.Key("last_rect");
        WriteRect(j, w.lastRect);
        j.Key("shot").String(w.shot).EndObject();
    }
    j.EndArray();
    j.Key("children").BeginArray();
    for (const auto& c : a.watcher->Children()) {
        j.BeginObject().Key("parent").String(c.parent).Key("name").String(c.name);
        j.Key("ms").Number(c.ms).EndObject();
    }
    j.EndArray();
    j.Key("rects").BeginObject();
    for (const auto& [label, r] : a.rects) {
        j.Key(vorn::WideToUtf8(label));
        WriteRect(j, r);
    }
    j.EndObject();
    j.Key("texts").BeginObject();
    for (const auto& [label, texts] : a.texts) {
        j.Key(vorn::WideToUtf8(label)).BeginArray();
        for (const auto& t : texts)
            j.String(t);
        j.EndArray();
    }
    j.EndObject();
    j.Key("trees").BeginObject();
    for (const auto& [label, tree] : a.trees) {
        j.Key(vorn::WideToUtf8(label)).BeginObject();
        j.Key("window").String(tree.window);
        j.Key("lines").BeginArray();
        for (const auto& line : tree.lines)
            j.String(line);
        j.EndArray();
        j.Key("rects").BeginArray();
        for (const RECT& r : tree.rects)
            WriteRect(j, r);
        j.EndArray();
        j.EndObject();
    }
    j.EndObject();
    j.Key("shots").BeginObject();
    for (const auto& [label, file] : a.shots)
        j.Key(vorn::WideToUtf8(label)).String(file);
    j.EndObject();
}

void WriteFiles(JsonWriter& j, const e2e::Agent& a) {
    j.Key("snapshots").Bool(a.afterTaken);
    j.Key("file_changes").BeginArray();
    for (const auto& c : a.fileChanges) {
        j.BeginObject().Key("path").String(c.path).Key("kind").String(c.kind);
        j.Key("folder").Bool(c.entry.folder).Key("size").Number(static_cast<int64_t>(c.entry.size));
        auto copy = a.captured.find(c.path);
        j.Key("copy").String(copy == a.captured.end() ? L"" : copy->second).EndObject();
    }
    j.EndArray();
}

void WriteSteps(JsonWriter& j, const e2e::Agent& a) {
    j.Key("steps").BeginArray();
    for (const auto& r : a.records) {
        j.BeginObject().Key("line").Number(r.step.line).Key("verb").String(r.step.verb);
        j.Key("args").BeginArray();
        for (const auto& arg : r.step.args)
            j.String(arg);
        j.EndArray();
        j.Key("ok").Bool(r.result.ok).Key("fatal").Bool(r.result.fatal);
        j.Key("detail").String(r.result.detail).Key("ms").Number(r.ms).EndObject();
    }
    j.EndArray();
}

bool WriteResult(const e2e::Agent& a, bool completed) {
    JsonWriter j;
    j.BeginObject().Key("completed").Bool(completed);
    WriteMachine(j);
    WriteSteps(j, a);
    WriteObservations(j, a);
    WriteFiles(j, a);
    j.EndObject();
    std::ofstream out((a.out + L"result.json").c_str(), std::ios::binary | std::ios::trunc);
    out << j.Text() << "\n";
    return static_cast<bool>(out);
}

// After the session was killed: the registry as it is now, beside the one at
// the kill, and the runner's note on the kill with the step that asked for it.
void NoteResumption(e2e::Agent& agent) {
    const std::wstring atStop = agent.out + L"reg-at-stop.txt";
    if (::GetFileAttributesW(atStop.c_str()) != INVALID_FILE_ATTRIBUTES)
        e2e::DumpRegistry(agent.out + L"reg-resumed.txt");
    std::ifstream in((agent.out + L"session-kill.txt").c_str(), std::ios::binary);
    std::string note;
    if (in && std::getline(in, note) && !agent.records.empty())
        agent.records.back().result.detail += L"; " + vorn::Utf8ToWide(note);
}

int Run(int argc, wchar_t** argv) {
    e2e::Now();
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn-e2e-agent PLAN_FILE\n");
        return 2;
    }
    std::vector<e2e::Step> steps;
    std::wstring error;
    if (!e2e::ReadPlan(argv[1], steps, error)) {
        std::fprintf(stderr, "vorn-e2e-agent: %s\n", vorn::WideToUtf8(error).c_str());
        return 2;
    }
    e2e::Agent agent;
    agent.out = vorn::ParentFolder(argv[1]) + L"\\";
    ::CreateDirectoryW((agent.out + L"shots").c_str(), nullptr);
    ::CreateDirectoryW((agent.out + L"captured").c_str(), nullptr);
    for (const auto& s : steps) {
        if (s.verb == L"autoshot")
            agent.autoShotMs = s.IntArg(0, 700);
    }
    int resumeLine = 0;
    if (!e2e::LoadSession(agent, steps, resumeLine, error)) {
        std::fprintf(stderr, "vorn-e2e-agent: %s\n", vorn::WideToUtf8(error).c_str());
        return 2;
    }
    agent.watcher = std::make_unique<e2e::Watcher>(agent.out + L"shots\\", agent.autoShotMs);
    if (resumeLine > 0)
        NoteResumption(agent);

    bool completed = true;
    for (const auto& s : steps) {
        if (s.line < resumeLine) {
            // Done in an earlier session; what shapes the agent itself is done again.
            if (e2e::RepeatedOnResume(s))
                e2e::RunStep(agent, s);
            continue;
        }
        e2e::StepRecord rec{s, e2e::RunStep(agent, s), e2e::Now()};
        agent.records.push_back(rec);
        if (!rec.result.ok) {
            std::fprintf(stderr, "vorn-e2e-agent: plan line %d (%s): %s\n", s.line,
                         vorn::WideToUtf8(s.verb).c_str(),
                         vorn::WideToUtf8(rec.result.detail).c_str());
        }
        if (rec.result.fatal) {
            completed = false;
            break;
        }
        if (agent.restarting) {
            // The plan goes on in the next session, which writes the result.
            agent.watcher->Stop();
            return 0;
        }
    }
    e2e::EndInstances(agent, completed ? L"still running at the end; ended by the agent"
                                       : L"ended by the agent after a failed step");
    // Windows that close with the programs are seen closing before the snapshot.
    ::Sleep(200);
    e2e::TakeAfterSnapshot(agent);
    agent.watcher->Stop();
    if (!WriteResult(agent, completed)) {
        std::fprintf(stderr, "vorn-e2e-agent: cannot write result.json\n");
        return 2;
    }
    return completed ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
