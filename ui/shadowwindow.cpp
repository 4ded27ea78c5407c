#include "ui/shadowwindow.h"

#include <atomic>
#include <mutex>

namespace TavroLib {
namespace {

std::mutex g_registerLock;
std::atomic<bool> g_registered{false};

}  // namespace

const wchar_t CShadowUI::kClassName[] = L"TavroShadowWnd";

bool CShadowUI::RegisterWindowClass(HINSTANCE instance) {
    std::lock_guard<std::mutex> lock(g_registerLock);
    if (g_registered.load())
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = nullptr;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kClassName;
    wc.hIconSm = nullptr;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    g_registered.store(true);
    return true;
}

}  // namespace TavroLib
