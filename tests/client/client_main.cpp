// vorn.exe of the client package: a window that names the version this build
// carries, so that a person or a test sees which client an installation started.
//   VORN_CLIENT_RECORD=FILE   append one JSON line per start: version, own path,
//                             working folder, command line and arguments (UTF-8)
//   VORN_CLIENT_EXIT_MS=N     close by itself after N milliseconds (also /exit-after=N)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

#ifndef VORN_CLIENT_VERSION
#error VORN_CLIENT_VERSION comes from the build
#endif

namespace {

const wchar_t kVersion[] = L"" VORN_CLIENT_VERSION;
const wchar_t kClassName[] = L"VornClientWnd";
const UINT_PTR kExitTimer = 1;

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (unsigned char c : vorn::WideToUtf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof(esc), "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return (n == 0 || n >= 32768) ? std::wstring() : std::wstring(buffer, n);
}

// One line, written in one call with append access, so that starts never mix.
bool RecordStart(const std::wstring& file, const std::vector<std::wstring>& args) {
    std::wstring self;
    vorn::GetModulePath(self);
    wchar_t cwd[32768] = {};
    ::GetCurrentDirectoryW(32768, cwd);
    std::string line = "{\"version\":" + JsonString(kVersion) + ",\"path\":" + JsonString(self) +
                       ",\"cwd\":" + JsonString(cwd) +
                       ",\"commandLine\":" + JsonString(::GetCommandLineW()) + ",\"args\":[";
    for (size_t i = 1; i < args.size(); ++i)
        line += (i > 1 ? "," : "") + JsonString(args[i]);
    line += "]}\r\n";
    vorn::UniqueHandle h(::CreateFileW(file.c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return h &&
           ::WriteFile(h.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
            ::SetBkMode(dc, TRANSPARENT);
            const std::wstring text = std::wstring(L"Velto加速器 客户端\n版本 ") + kVersion;
            RECT inner = rc;
            ::DrawTextW(dc, text.c_str(), -1, &inner, DT_CENTER | DT_CALCRECT | DT_WORDBREAK);
            const int height = inner.bottom - inner.top;
            rc.top = (rc.bottom - height) / 2;
            ::DrawTextW(dc, text.c_str(), -1, &rc, DT_CENTER | DT_WORDBREAK);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kExitTimer)
                ::DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 0; argv != nullptr && i < argc; ++i)
        args.push_back(argv[i]);
    ::LocalFree(argv);

    const std::wstring record = Environment(L"VORN_CLIENT_RECORD");
    if (!record.empty() && !RecordStart(record, args))
        return 3;

    std::wstring exitAfter = Environment(L"VORN_CLIENT_EXIT_MS");
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].rfind(L"/exit-after=", 0) == 0)
            exitAfter = args[i].substr(12);
    }

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc))
        return 2;
    const std::wstring title = std::wstring(L"Velto加速器 ") + kVersion;
    HWND hwnd = ::CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr)
        return 2;
    if (!exitAfter.empty())
        ::SetTimer(hwnd, kExitTimer,
                   static_cast<UINT>(std::wcstoul(exitAfter.c_str(), nullptr, 10)), nullptr);
    ::ShowWindow(hwnd, show);
    ::UpdateWindow(hwnd);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
