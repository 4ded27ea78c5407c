#include "agent/watcher.h"

#include <tlhelp32.h>

#include <algorithm>

#include "driver/gui_driver.h"

namespace e2e {
namespace {

constexpr DWORD kPollMs = 20;
constexpr int kChildPollEvery = 5;
// Tooltips come and go with the cursor; they are no window of the run.
constexpr wchar_t kTooltipClass[] = L"tooltips_class32";

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring TitleOf(HWND hwnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

std::wstring SafeFileName(std::wstring text) {
    for (auto& c : text) {
        if (c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' ||
            c == L'<' || c == L'>' || c == L'|' || c == L' ') {
            c = L'_';
        }
    }
    return text;
}

struct Enumerated {
    HWND hwnd;
    DWORD pid;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    reinterpret_cast<std::vector<Enumerated>*>(lp)->push_back({hwnd, pid});
    return TRUE;
}

}  // namespace

int64_t Now() {
    // The first call, at the agent's start, fixes the origin.
    static const int64_t start = static_cast<int64_t>(::GetTickCount64());
    return static_cast<int64_t>(::GetTickCount64()) - start;
}

Watcher::Watcher(std::wstring shotsFolder, int delayMs)
    : m_shots(std::move(shotsFolder)), m_delayMs(delayMs) {
    m_thread = std::thread([this] { Run(); });
}

Watcher::~Watcher() {
    Stop();
}

void Watcher::Stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void Watcher::Watch(const std::wstring& instance, DWORD pid) {
    std::lock_guard<std::mutex> l(m_lock);
    m_pids[pid] = instance;
}

HWND Watcher::FindVisible(const std::wstring& className) const {
    std::vector<Enumerated> all;
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    std::lock_guard<std::mutex> l(m_lock);
    for (const auto& e : all) {
        if (m_pids.count(e.pid) != 0 && ::IsWindowVisible(e.hwnd) && ClassOf(e.hwnd) == className)
            return e.hwnd;
    }
    return nullptr;
}

int64_t Watcher::VisibleFor(HWND hwnd) const {
    std::lock_guard<std::mutex> l(m_lock);
    auto live = m_live.find(hwnd);
    if (live == m_live.end() || m_windows[live->second].shownMs < 0)
        return 0;
    return Now() - m_windows[live->second].shownMs;
}

std::vector<SeenWindow> Watcher::Windows() const {
    std::lock_guard<std::mutex> l(m_lock);
    return m_windows;
}

std::vector<SeenChild> Watcher::Children() const {
    std::lock_guard<std::mutex> l(m_lock);
    return m_children;
}

std::wstring Watcher::NextShotName(const std::wstring& label) {
    std::lock_guard<std::mutex> l(m_lock);
    wchar_t number[16];
    swprintf(number, 16, L"%02d-", ++m_shotCounter);
    return number + SafeFileName(label) + L".png";
}

void Watcher::Run() {
    int round = 0;
    while (!m_stop) {
        PollWindows();
        if (++round % kChildPollEvery == 0)
            PollChildren();
        TakeDueShots();
        ::Sleep(kPollMs);
    }
    PollWindows();
    PollChildren();
}

void Watcher::PollWindows() {
    std::vector<Enumerated> all;
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    const int64_t now = Now();
    std::lock_guard<std::mutex> l(m_lock);
    std::map<HWND, bool> present;
    for (const auto& e : all) {
        auto owner = m_pids.find(e.pid);
        if (owner == m_pids.end())
            continue;
        present[e.hwnd] = true;
        auto live = m_live.find(e.hwnd);
        if (live == m_live.end()) {
            SeenWindow w;
            w.instance = owner->second;
            w.hwnd = e.hwnd;
            w.className = ClassOf(e.hwnd);
            live = m_live.emplace(e.hwnd, m_windows.size()).first;
            m_windows.push_back(w);
        }
        SeenWindow& w = m_windows[live->second];
        const bool visible = ::IsWindowVisible(e.hwnd) != FALSE;
        RECT r{};
        ::GetWindowRect(e.hwnd, &r);
        if (visible) {
            if (w.shownMs < 0) {
                w.shownMs = now;
                w.firstRect = r;
            }
            if (now - w.shownMs <= kSettleMs)
                w.settledRect = r;
            w.lastRect = r;
            w.title = TitleOf(e.hwnd);
        } else if (w.shownMs >= 0 && w.hiddenMs < 0) {
            w.hiddenMs = now;
        }
    }
    for (auto it = m_live.begin(); it != m_live.end();) {
        if (present.count(it->first) == 0) {
            m_windows[it->second].goneMs = now;
            it = m_live.erase(it);
        } else {
            ++it;
        }
    }
}

void Watcher::PollChildren() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const int64_t now = Now();
    std::lock_guard<std::mutex> l(m_lock);
    for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry)) {
        auto parent = m_pids.find(entry.th32ParentProcessID);
        if (parent == m_pids.end() || m_pids.count(entry.th32ProcessID) != 0)
            continue;
        // A process caught while it starts has no image name yet: look again
        // next time. Wine's own helpers may die in that state and stay unseen.
        if (entry.szExeFile[0] == L'\0')
            continue;
        if (std::find(m_knownChildren.begin(), m_knownChildren.end(), entry.th32ProcessID) !=
            m_knownChildren.end()) {
            continue;
        }
        m_knownChildren.push_back(entry.th32ProcessID);
        m_children.push_back({parent->second, entry.th32ProcessID, entry.szExeFile, now});
    }
    ::CloseHandle(snap);
}

void Watcher::TakeDueShots() {
    if (m_delayMs <= 0)
        return;
    std::vector<std::pair<size_t, HWND>> due;
    {
        std::lock_guard<std::mutex> l(m_lock);
        const int64_t now = Now();
        for (const auto& [hwnd, index] : m_live) {
            const SeenWindow& w = m_windows[index];
            if (w.shownMs >= 0 && w.shot.empty() && w.hiddenMs < 0 &&
                now - w.shownMs >= m_delayMs && w.className != kTooltipClass) {
                due.emplace_back(index, hwnd);
            }
        }
    }
    for (const auto& [index, hwnd] : due) {
        std::wstring label;
        {
            std::lock_guard<std::mutex> l(m_lock);
            label = m_windows[index].instance + L"-" + m_windows[index].className;
        }
        const std::wstring name = NextShotName(label);
        vorn::gui::Capture shot;
        const bool ok = ::IsWindowVisible(hwnd) && vorn::gui::CaptureWindow(hwnd, shot) &&
                        shot.SavePng(m_shots + name);
        std::lock_guard<std::mutex> l(m_lock);
        m_windows[index].shot = ok ? name : L"-";  // "-": the window went before its capture
    }
}

}  // namespace e2e
