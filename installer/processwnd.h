// The progress window: the last window of an installation or an update. Its
// worker prepares the install folder, downloads the package, checks its CRC,
// unpacks and registers it, then shows the completion window and starts the
// client. Progress from the worker reaches the window as posted tasks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "comm/httplibdownload.h"
#include "installer/installerwindow.h"
#include "util/singleton.h"
#include "util/win_handle.h"

class CProcessWnd : public CInstallerWindow,
                    public vorn::DownloadSink,
                    public vorn::Singleton<CProcessWnd> {
  public:
    ~CProcessWnd() override;

    const wchar_t* GetWindowClassName() const override;
    // Joins the worker.
    void OnFinalMessage(HWND hWnd) override;
    // The total text, then the worker.
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    // WM_INSTALL_PROGRESS becomes a posted progress task; never handled.
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // Worker thread: hands the counts that change the display to the window.
    void OnDownloadProgress(uint64_t received, uint64_t total) override;
    void OnDownloadError(const std::wstring& text) override;

    // Window thread only. Sizes are 64-bit so that packages of 2 GiB and more
    // show the right bar and megabytes. Always true.
    bool SetProgress(int64_t total, int64_t current);

    // The worker's body: download, check, installation, completion.
    virtual void InstallWorker();

    int64_t TotalMB() const { return m_totalMB; }
    // The percentage last shown, shared by every progress window of the process.
    static int LastPercent() { return s_lastPercent; }

  protected:
    CProcessWnd() = default;
    // Runs body on thread; false when the system refuses a thread.
    virtual bool StartThread(std::thread& thread, std::function<void()> body);
    // The window handle as the worker knows it (it outlives the native window).
    HWND WorkerWindow() const { return m_workerWindow; }

  private:
    friend class vorn::Singleton<CProcessWnd>;

    // Download into package; false after the failure was reported and shown.
    bool DownloadPackage(const std::wstring& package);
    // Unpacking and registration, then the completion window and the client.
    void InstallPackage(const std::wstring& package, const std::wstring& installDir);
    // Report (4, 0, 0, event), then the message; the worker ends after it.
    static void Fail(const char* event, const wchar_t* message);
    // "Down" shows text before this returns (set on the window's thread).
    void ShowStatus(const wchar_t* text);

    std::thread m_worker;
    int64_t m_totalMB = 0;
    HWND m_workerWindow = nullptr;    // the handle the worker addresses, fixed at start
    vorn::UniqueHandle m_workerDone;  // set when the worker's body has returned
    vorn::ProgressGate m_gate;

    static int s_lastPercent;
};
