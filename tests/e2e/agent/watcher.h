// Watches the top-level windows and the child processes of the programs the
// agent started, on a thread of its own: which windows became visible, in
// which order, where, for how long, with a capture of each as the user saw it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// Milliseconds since the agent started.
int64_t Now();

struct SeenWindow {
    std::wstring instance;  // the name the plan gave the process
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring title;
    int64_t shownMs = -1;   // first seen visible
    int64_t hiddenMs = -1;  // first seen hidden again, while it still existed
    int64_t goneMs = -1;    // first seen destroyed
    RECT firstRect{};
    RECT settledRect{};  // once it had been visible for a moment: where the user saw it
    RECT lastRect{};
    std::wstring shot;  // file name of the automatic capture, or empty
};

struct SeenChild {
    std::wstring parent;
    DWORD pid = 0;
    std::wstring name;
    int64_t ms = 0;
};

class Watcher {
  public:
    // Automatic captures go to shotsFolder (ends in a backslash), delayMs after
    // a window became visible; 0 switches them off.
    Watcher(std::wstring shotsFolder, int delayMs);
    // A new window is where the user sees it after this long (windows are
    // created visible and placed a moment later).
    static constexpr int64_t kSettleMs = 500;
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    void Watch(const std::wstring& instance, DWORD pid);
    // A visible window of that class belonging to a watched process, or null.
    HWND FindVisible(const std::wstring& className) const;
    // How long the window has been visible, in ms (0 when it is not).
    int64_t VisibleFor(HWND hwnd) const;
    std::vector<SeenWindow> Windows() const;
    std::vector<SeenChild> Children() const;
    // A name for the next capture file: sequence number and a label.
    std::wstring NextShotName(const std::wstring& label);
    void Stop();

  private:
    void Run();
    void PollWindows();
    void PollChildren();
    void TakeDueShots();

    const std::wstring m_shots;
    const int m_delayMs;
    mutable std::mutex m_lock;
    std::map<DWORD, std::wstring> m_pids;
    std::vector<SeenWindow> m_windows;
    std::map<HWND, size_t> m_live;  // existing windows and their entries
    std::vector<SeenChild> m_children;
    std::vector<DWORD> m_knownChildren;
    int m_shotCounter = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace e2e
