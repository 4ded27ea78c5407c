// The native window under every toolkit window, its task channel, and the
// notification pump with its static message map.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "ui/uidefine.h"

namespace DuiLib {

// Task channel: runs callables on the window's thread through message 1074.
// The closing flag is set by Close and never cleared; tasks that arrive once
// it is set are released without running.
template <typename T>
class CUserUIMessageT {
  public:
    using Task = std::function<void(T*)>;

    // Takes ownership of task (allocated with new); false when nothing was
    // posted (closing, no window, posting failed), the task then being deleted.
    bool PostUITask(Task* task, const char* name) {
        if (task == nullptr)
            return false;
        if (m_bClosing.load() || m_hTaskWnd == nullptr) {
            delete task;
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(m_taskLock);
            m_pendingTasks.insert(task);
        }
        if (!::PostMessageW(m_hTaskWnd, WM_UI_TASK, reinterpret_cast<WPARAM>(task),
                            reinterpret_cast<LPARAM>(name))) {
            if (TakeTask(task))
                delete task;
            return false;
        }
        return true;
    }
    template <typename F>
    bool PostUITask(F&& fn, const char* name) {
        return PostUITask(new Task(std::forward<F>(fn)), name);
    }

    bool IsClosing() const { return m_bClosing.load(); }

  protected:
    CUserUIMessageT() = default;
    ~CUserUIMessageT() { DiscardTasks(); }

    void SetTaskWindow(HWND hWnd) { m_hTaskWnd = hWnd; }
    void SetClosing() { m_bClosing.store(true); }

    // On message 1074: runs the task unless closing, then releases it. A
    // wParam that this channel did not post is ignored.
    void RunUITask(WPARAM wParam, T* self) {
        Task* task = reinterpret_cast<Task*>(wParam);
        if (!TakeTask(task))
            return;
        if (!m_bClosing.load() && *task)
            (*task)(self);
        delete task;
    }
    // Tasks still queued when the window goes never arrive; free them.
    void DiscardTasks() {
        std::unordered_set<Task*> tasks;
        {
            std::lock_guard<std::mutex> lock(m_taskLock);
            tasks.swap(m_pendingTasks);
        }
        for (Task* t : tasks)
            delete t;
    }

  private:
    bool TakeTask(Task* task) {
        std::lock_guard<std::mutex> lock(m_taskLock);
        return m_pendingTasks.erase(task) != 0;
    }

    HWND m_hTaskWnd = nullptr;
    std::atomic<bool> m_bClosing{false};
    std::mutex m_taskLock;
    std::unordered_set<Task*> m_pendingTasks;
};

class CWindowWnd : public CUserUIMessageT<CWindowWnd> {
  public:
    CWindowWnd();

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers the class (GetWindowClassName, GetClassStyle) unless it
    // exists, then creates the window; null on failure.
    HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    // Icon resource at the large icon size (rounded up to 16), as big and small icon.
    void SetIcon(UINT nRes);
    // Centre on the owner, or on the monitor's work area, kept inside the work area.
    void CenterWindow();
    // Modal loop; returns the code of the Close that closed the window, 0 otherwise.
    UINT ShowModal();
    // Sets the closing flag and posts WM_CLOSE with wParam = code; any thread.
    void Close(UINT nRet = IDOK);
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    bool IsShown() const { return m_bShown; }
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    // Virtual operations, in slot order.
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const;
    virtual UINT GetClassStyle() const;
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hWnd);
    virtual ~CWindowWnd();

  protected:
    bool RegisterWindowClass();
    bool RegisterSuperclass();
    // Cuts the object off its native window and destroys that window.
    void DetachAndDestroy();
    static LRESULT CALLBACK __WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc;
    bool m_bShown = false;
};

// Notification dispatch through a static message map of type names.
class CNotifyPump {
  public:
    using Handler = void (CNotifyPump::*)(NotifyMsg&);
    struct MessageMapEntry {
        const wchar_t* type;  // null ends a map
        Handler handler;
    };
    struct MessageMap {
        const MessageMap* base;
        const MessageMapEntry* entries;
    };

    // Calls the handler of msg's type from this class's map or its bases'.
    bool LoopDispatch(NotifyMsg& msg);

  protected:
    ~CNotifyPump() = default;
    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap messageMap;
};

}  // namespace DuiLib
