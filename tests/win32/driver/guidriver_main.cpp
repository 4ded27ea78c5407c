// vorn-guidriver: drives a running program's window from outside, for tests
// written as scripts. Runs under the same Wine prefix and display.
//   wait CLASS [timeout_ms]      exit 0 once a visible window of the class exists
//   exists CLASS                 exit 0 if a window of the class exists
//   click CLASS x y              left click at client coordinates
//   type CLASS text              Unicode key events into the window
//   key CLASS esc|enter|alt+f4
//   text CLASS                   the window's and its child windows' texts, one a line
//   rect CLASS                   "left top right bottom" of the window on screen
//   screenshot CLASS|screen out.png
// Exit codes: 0 done, 1 failed (no window, input refused), 2 usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "driver/gui_driver.h"
#include "util/string_util.h"

namespace {

void Print(const std::wstring& line) {
    const std::string bytes = vorn::WideToUtf8(line + L"\n");
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
                &written, nullptr);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: vorn-guidriver wait CLASS [ms] | exists CLASS | click CLASS x y |\n"
                 "       type CLASS text | key CLASS esc|enter|alt+f4 | text CLASS |\n"
                 "       rect CLASS | screenshot CLASS|screen out.png\n");
    return 2;
}

bool ParseInt(const wchar_t* s, long& out) {
    wchar_t* end = nullptr;
    out = std::wcstol(s, &end, 10);
    return end != s && *end == L'\0';
}

HWND Need(const std::wstring& cls) {
    HWND hwnd = vorn::gui::FindWindowByClass(cls);
    if (hwnd == nullptr)
        std::fprintf(stderr, "vorn-guidriver: no window of that class\n");
    return hwnd;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 3)
        return Usage();
    const std::wstring cmd = argv[1], cls = argv[2];
    if (cmd == L"wait") {
        long ms = 10000;
        if (argc > 3 && !ParseInt(argv[3], ms))
            return Usage();
        return vorn::gui::WaitWindow(cls, static_cast<DWORD>(ms)) != nullptr ? 0 : 1;
    }
    if (cmd == L"exists")
        return vorn::gui::FindWindowByClass(cls) != nullptr ? 0 : 1;
    if (cmd == L"screenshot" && argc == 4) {
        vorn::gui::Capture shot;
        bool ok = false;
        if (cls == L"screen") {
            ok = vorn::gui::CaptureScreen(shot);
        } else if (HWND hwnd = Need(cls)) {
            ok = vorn::gui::CaptureWindow(hwnd, shot);
        }
        return ok && shot.SavePng(argv[3]) ? 0 : 1;
    }
    HWND hwnd = Need(cls);
    if (hwnd == nullptr)
        return 1;
    if (cmd == L"click" && argc == 5) {
        long x, y;
        if (!ParseInt(argv[3], x) || !ParseInt(argv[4], y))
            return Usage();
        return vorn::gui::Click(hwnd, x, y) ? 0 : 1;
    }
    if (cmd == L"type" && argc == 4)
        return vorn::gui::TypeText(hwnd, argv[3]) ? 0 : 1;
    if (cmd == L"key" && argc == 4)
        return vorn::gui::Key(hwnd, argv[3]) ? 0 : 1;
    if (cmd == L"text" && argc == 3) {
        for (const auto& t : vorn::gui::WindowTexts(hwnd))
            Print(t);
        return 0;
    }
    if (cmd == L"rect" && argc == 3) {
        RECT r;
        if (!::GetWindowRect(hwnd, &r))
            return 1;
        Print(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
              std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom));
        return 0;
    }
    return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
