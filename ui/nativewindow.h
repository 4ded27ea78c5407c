// The native window under every toolkit window, its task channel, and the
// notification pump with its static handler table.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "ui/types.h"

namespace TavroLib {

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
        HWND target = m_taskWindow.load();
        if (m_closing.load() || target == nullptr) {
            delete task;
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(m_taskLock);
            m_pendingTasks.insert(task);
        }
        if (!::PostMessageW(target, kTaskMessage, reinterpret_cast<WPARAM>(task),
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

    bool IsClosing() const { return m_closing.load(); }

  protected:
    CUserUIMessageT() = default;
    ~CUserUIMessageT() { DiscardTasks(); }

    void SetTaskWindow(HWND hWnd) { m_taskWindow = hWnd; }
    void SetClosing() { m_closing.store(true); }

    // On message 1074: runs the task unless closing, then releases it. A
    // wParam that this channel did not post is ignored.
    void RunUITask(WPARAM wParam, T* self) {
        Task* task = reinterpret_cast<Task*>(wParam);
        if (!TakeTask(task))
            return;
        if (!m_closing.load() && *task)
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

    // Cleared on the window's thread while workers may be posting.
    std::atomic<HWND> m_taskWindow{nullptr};
    std::atomic<bool> m_closing{false};
    std::mutex m_taskLock;
    std::unordered_set<Task*> m_pendingTasks;
};

class CWindowWnd : public CUserUIMessageT<CWindowWnd> {
  public:
    CWindowWnd();

    HWND GetHandle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers the class (GetWindowClassName, GetClassStyle) unless it
    // exists, then creates the window; null on failure.
    HWND Create(HWND parent, const wchar_t* name, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    // Icon resource at the large icon size (rounded up to 16), as big and small icon.
    void SetIcon(UINT iconId);
    // Centre on the owner, or on the monitor's work area, kept inside the work area.
    void CenterWindow();
    // Modal loop; returns the code of the last WM_CLOSE the window received
    // (Close posts it; a system close sends 0), 0 when there was none.
    UINT ShowModal();
    // Sets the closing flag and posts WM_CLOSE with wParam = code; any thread.
    void Close(UINT code = IDOK);
    void ShowWindow(bool show = true, bool takeFocus = true);
    bool IsShown() const { return m_shown; }
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
    bool RegisterOwnClass();
    bool RegisterDerivedClass();
    // Cuts the object off its native window and destroys that window.
    void DetachAndDestroy();
    static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_baseProc;
    bool m_shown = false;
    // Taken where the window receives WM_CLOSE, not where the modal loop reads
    // it: a nested loop (a message box shown from a handler) may dispatch it.
    UINT m_closeCode = 0;
};

// Notification dispatch through a static table of type names.
class CNotifyPump {
  public:
    using Handler = void (CNotifyPump::*)(NotifyMsg&);
    struct HandlerEntry {
        const wchar_t* type;  // null ends a table
        Handler handler;
    };
    struct HandlerTable {
        const HandlerTable* base;
        const HandlerEntry* entries;
    };

    // Calls the handler of msg's type from this class's table or its bases'.
    bool DispatchByType(NotifyMsg& msg);

  protected:
    ~CNotifyPump() = default;
    virtual const HandlerTable* GetHandlerTable() const;
    static const HandlerTable handlerTable;
};

}  // namespace TavroLib
