// Runs one toolkit window on a thread of its own, as the installer does:
// Create with the installer's parameters, SetIcon, CenterWindow, ShowModal.
// The test thread meanwhile drives it with real input.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ui/toolkit.h"
#include "util/win_handle.h"

namespace vorn::test {

// Toolkit settings made once per process, as the window sequence makes them.
void InitToolkit();

// A window that loads one layout of the embedded skin archive and does nothing else.
class LayoutWindow : public TavroLib::WindowImplBase {
  public:
    LayoutWindow(const wchar_t* className, const wchar_t* skinFile)
        : m_className(className), m_skinFile(skinFile) {}
    const wchar_t* GetWindowClassName() const override { return m_className; }
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return m_skinFile; }
    LRESULT ResponseDefaultKeyEvent(WPARAM) override { return 0; }
    TavroLib::ResourceSource GetResourceType() const override {
        return TavroLib::ResourceSource::ZipResource;
    }
    const wchar_t* GetResourceId() const override { return MAKEINTRESOURCEW(102); }

  private:
    const wchar_t* m_className;
    const wchar_t* m_skinFile;
};

// Sees the keyboard messages that reach one thread's message queue, so a test
// can tell "the key arrived and did nothing" from "the key never arrived".
// One watch at a time per process.
class KeyWatch {
  public:
    explicit KeyWatch(DWORD threadId);
    ~KeyWatch();
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;
    // Key-down messages (WM_KEYDOWN or WM_SYSKEYDOWN) of that virtual key so far.
    int Count(UINT vk) const;

  private:
    HHOOK m_hook = nullptr;
};

class WindowThread {
  public:
    using Factory = std::function<std::unique_ptr<TavroLib::WindowImplBase>()>;

    explicit WindowThread(Factory make);
    ~WindowThread();  // closes the window if it is still open, joins
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // Null when Create failed. The object may be read while its thread waits in the loop.
    HWND Hwnd() const { return m_hwnd; }
    TavroLib::WindowImplBase* Window() const { return m_window.get(); }
    // Waits for ShowModal to return; false on time-out.
    bool WaitClosed(DWORD timeoutMs, UINT& code);
    bool IsOpen() const { return m_hwnd != nullptr && ::IsWindow(m_hwnd); }
    DWORD ThreadId() const { return m_threadId; }

  private:
    void Run(Factory make);

    std::unique_ptr<TavroLib::WindowImplBase> m_window;
    HWND m_hwnd = nullptr;
    UniqueHandle m_created;
    UniqueHandle m_done;
    UINT m_code = 0;
    DWORD m_threadId = 0;
    std::thread m_thread;
};

}  // namespace vorn::test
