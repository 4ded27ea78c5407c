#include "windows/window_host.h"

#include <objbase.h>

#include <atomic>
#include <mutex>

#include "util/path_util.h"

namespace vorn::test {

void InitToolkit() {
    static std::once_flag once;
    std::call_once(once, [] {
        TavroLib::CPaintManagerUI::SetModule(::GetModuleHandleW(nullptr));
        TavroLib::CPaintManagerUI::SetResourceFolder(
            (TavroLib::CPaintManagerUI::GetModuleFolder() + L"\\skin").c_str());
    });
}

namespace {
std::atomic<int> g_keyCounts[256];

LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam < 256) {
            ++g_keyCounts[msg->wParam];
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

KeyWatch::KeyWatch(DWORD threadId) {
    for (auto& c : g_keyCounts)
        c = 0;
    m_hook = ::SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, threadId);
}

KeyWatch::~KeyWatch() {
    if (m_hook != nullptr)
        ::UnhookWindowsHookEx(m_hook);
}

int KeyWatch::Count(UINT vk) const {
    return vk < 256 && m_hook != nullptr ? g_keyCounts[vk].load() : -1;
}

WindowThread::WindowThread(Factory make)
    : m_created(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    InitToolkit();
    m_thread = std::thread([this, make] { Run(make); });
    ::WaitForSingleObject(m_created.Get(), 30000);
}

WindowThread::~WindowThread() {
    if (IsOpen()) {
        ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    }
    if (m_thread.joinable())
        m_thread.join();
    m_window.reset();
}

bool WindowThread::WaitClosed(DWORD timeoutMs, UINT& code) {
    if (::WaitForSingleObject(m_done.Get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    code = m_code;
    return true;
}

void WindowThread::Run(Factory make) {
    // Like the installer's main thread: COM for the shell calls of the handlers.
    m_threadId = ::GetCurrentThreadId();
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_window = make();
    m_hwnd = m_window->Create(nullptr, L"Velto加速器安装程序", 0x10CE0000, 0x100, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    if (m_hwnd != nullptr) {
        m_window->SetIcon(101);
        m_window->CenterWindow();
    }
    ::SetEvent(m_created.Get());
    m_code = m_window->ShowModal();
    ::SetEvent(m_done.Get());
    if (SUCCEEDED(com))
        ::CoUninitialize();
}

}  // namespace vorn::test
