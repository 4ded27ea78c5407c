// Stopping a program at a moment found from outside: the program is frozen
// (every thread suspended), the machine is looked at, and the program is then
// either killed on the spot or let go on. What is looked at cannot change
// while it is frozen, so a kill lands exactly in the state that was seen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "util/win_handle.h"

namespace e2e {

class Watcher;

// Every thread of a process held suspended while the object lives.
class Freezer {
  public:
    explicit Freezer(HANDLE process) : m_process(process) {}
    ~Freezer() { Thaw(); }
    Freezer(const Freezer&) = delete;
    Freezer& operator=(const Freezer&) = delete;

    // True when every thread has stopped (threads started meanwhile included).
    bool Freeze();
    void Thaw();

  private:
    HANDLE m_process;
    bool m_frozen = false;
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
