// The environment check: the first window, an animation over which three
// threads find out what the run does next. A worker asks the client-version
// service for the package and probes the registry and the disk for an
// installation, a second thread keeps the window up for a minimum time, and a
// finishing thread waits for both, records the outcome and the window's place
// in the install context and closes the window. Until then the window cannot
// be closed.
#pragma once

#include <atomic>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "installer/installerwindow.h"
#include "installer/uihelp.h"

class CCheckWnd : public CInstallerWindow {
  public:
    // Any command line shortens the minimum display time.
    explicit CCheckWnd(std::string commandLine);
    ~CCheckWnd() override;

    const wchar_t* GetWindowClassName() const override;
    // Joins the finishing thread (the other two are joined by it).
    void OnFinalMessage(HWND hWnd) override;
    // Starts the check.
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    // Keeps the window until the check has finished.
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // The worker: report, client-version request, registry and disk probe.
    // Sets the promise exactly once; whatever escapes the steps yields
    // CHECK_REQUEST_FAILED.
    void CheckRegedit(std::promise<_CHECKTYPE>& promise);
    // 1000 ms with a command line, else 3000 ms.
    void WaitMinimumTime();
    // Joins the two check threads, records rcWindow and checkType, marks the
    // check done and closes the window with 1.
    void FinishCheck(std::future<_CHECKTYPE> future);

    bool IsCheckDone() const { return m_checkDone.load(); }
    DWORD MinimumTimeMs() const { return m_commandLine.empty() ? 3000 : 1000; }

  protected:
    // Runs body on a new thread held by thread; false when the system refuses
    // one (body is then not run).
    virtual bool StartThread(std::thread& thread, std::function<void()> body);
    // The client-version request (through the install information).
    virtual bool RequestInstallInfo();

  private:
    _CHECKTYPE ProbeInstallation();

    std::thread m_finishThread;
    std::vector<std::thread> m_checkThreads;  // worker, then minimum time
    std::string m_commandLine;
    std::atomic<bool> m_checkDone{false};
};
