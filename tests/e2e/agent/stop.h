// Stopping a program at a moment found from outside: the program is frozen
// (every thread suspended), the machine is looked at, and the program is then
// either killed on the spot or let go on. What is looked at cannot change
// while it is frozen, so a kill lands exactly in the state that was seen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/win_handle.h"

namespace e2e {

class Watcher;

// Holds every thread of a process suspended between Freeze and Thaw, as
// often as asked; the object's end lets the process go on.
class Freezer {
  public:
    explicit Freezer(HANDLE process);
    ~Freezer();
    Freezer(const Freezer&) = delete;
    Freezer& operator=(const Freezer&) = delete;

    // True when every thread has stopped.
    bool Freeze();
    void Thaw();
    // Threads did not stop again and again: the process cannot be frozen.
    bool Broken() const { return m_broken; }

  private:
    struct Waiter;

    HANDLE m_process;
    bool m_frozen = false;
    bool m_broken = false;
    int m_abandoned = 0;
    std::unique_ptr<Waiter> m_waiter;
};

// One thing to look at; kinds as the plan names them:
//   window CLASS    a visible window of that class of a watched program
//   log TEXT        a line of the installer's log of the day holds TEXT
//   file PATH N     the file or folder exists (a file of at least N bytes)
//   absent PATH     no such file or folder
//   reading PATH    the file is open, for reading only (none writes it)
//   registry PATH   the value exists (PATH: HKCU\key\value name)
//   no-registry PATH  it does not
//   request PATH    the services recorded a request of that path
struct Condition {
    std::wstring kind;
    std::wstring arg;
    uint64_t number = 0;

    std::wstring Describe() const;
};

// What conditions are evaluated against: the watcher for windows, and where
// the services' request journal lies.
struct Surroundings {
    const Watcher* watcher = nullptr;
    std::wstring requestJournal;
};

// The result of one look; error when a condition cannot be evaluated.
bool Holds(const Condition& c, const Surroundings& s, std::wstring& error);

}  // namespace e2e
