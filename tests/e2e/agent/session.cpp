#include "agent/session.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "util/string_util.h"

namespace e2e {
namespace {

const wchar_t kStateFile[] = L"session.txt";

// Fields are tab-separated, one record a line.
std::string Field(const std::wstring& text) {
    std::wstring clean = text;
    for (auto& c : clean) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return vorn::WideToUtf8(clean);
}

int64_t Number(const std::wstring& text) {
    return _wcstoi64(text.c_str(), nullptr, 10);
}

}  // namespace

std::wstring AgainFile(const Agent& agent) {
    return agent.out + L"again";
}

bool SaveSession(const Agent& agent, int resumeLine) {
    const std::wstring path = agent.out + kStateFile;
    {
        std::ofstream out((path + L".tmp").c_str(), std::ios::binary | std::ios::trunc);
        out << "resume\t" << resumeLine << "\n";
        for (const auto& r : agent.records) {
            out << "record\t" << r.step.line << "\t" << r.result.ok << "\t" << r.result.fatal
                << "\t" << r.ms << "\t" << Field(r.result.detail) << "\n";
        }
        for (const auto& name : agent.order) {
            const Instance& i = agent.instances.at(name);
            out << "instance\t" << Field(name) << "\t" << i.pid << "\t" << i.startedMs << "\t"
                << i.exitCode << "\t" << i.endedMs << "\t" << Field(i.how) << "\n";
        }
        if (agent.haveBefore) {
            for (const auto& [file, e] : agent.filesBefore) {
                out << "file\t" << e.folder << "\t" << e.size << "\t" << e.written << "\t"
                    << Field(file) << "\n";
            }
        }
        if (!out)
            return false;
    }
    return ::MoveFileExW((path + L".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool LoadSession(Agent& agent, const std::vector<Step>& steps, int& resumeLine,
                 std::wstring& error) {
    resumeLine = 0;
    const std::wstring path = agent.out + kStateFile;
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in)
        return true;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ::DeleteFileW(path.c_str());
    std::vector<std::string> lines;
    vorn::SplitString(bytes, "\n", lines);
    for (const std::string& raw : lines) {
        if (raw.empty())
            continue;
        std::vector<std::wstring> f;
        vorn::SplitString(vorn::Utf8ToWide(raw), L"\t", f);
        if (f[0] == L"resume" && f.size() == 2) {
            resumeLine = static_cast<int>(Number(f[1]));
        } else if (f[0] == L"record" && f.size() == 6) {
            StepRecord r;
            r.step.line = static_cast<int>(Number(f[1]));
            for (const auto& s : steps) {
                if (s.line == r.step.line)
                    r.step = s;
            }
            r.result.ok = f[2] == L"1";
            r.result.fatal = f[3] == L"1";
            r.ms = Number(f[4]);
            r.result.detail = f[5];
            agent.records.push_back(r);
        } else if (f[0] == L"instance" && f.size() == 7) {
            Instance& i = agent.instances[f[1]];
            i.pid = static_cast<DWORD>(Number(f[2]));
            i.startedMs = Number(f[3]);
            i.ended = true;
            i.exitCode = static_cast<DWORD>(Number(f[4]));
            i.endedMs = Number(f[5]);
            i.how = f[6];
            agent.order.push_back(f[1]);
        } else if (f[0] == L"file" && f.size() == 5) {
            FileEntry e;
            e.folder = f[1] == L"1";
            e.size = static_cast<uint64_t>(Number(f[2]));
            e.written = static_cast<uint64_t>(Number(f[3]));
            agent.filesBefore[f[4]] = e;
            agent.haveBefore = true;
        } else {
            error = L"the saved session has a line it does not know: " + vorn::Utf8ToWide(raw);
            return false;
        }
    }
    if (resumeLine <= 0) {
        error = L"the saved session does not say where to go on";
        return false;
    }
    return true;
}

bool RepeatedOnResume(const Step& step) {
    return step.verb == L"autoshot" || step.verb == L"env" || step.verb == L"roots" ||
           step.verb == L"label-ref";
}

}  // namespace e2e
