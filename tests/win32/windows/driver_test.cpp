// The GUI driver itself: input reaches a window of another thread (and, through
// vorn-guidriver.exe, of another process) the way a mouse and keyboard would,
// captures show what the screen shows, and the browser stand-in records.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/gui_driver.h"
#include "support/test_support.h"
#include "util/win_handle.h"

using vorn::gui::WaitFor;

namespace {

constexpr wchar_t kProbeClass[] = L"VornDriverProbe";
constexpr COLORREF kProbeColour = RGB(0x20, 0x80, 0xC0);

std::wstring Backslashes(std::wstring p) {
    for (auto& c : p) {
        if (c == L'/')
            c = L'\\';
    }
    return p;
}

// A plain window on its own thread that records the input it gets.
class ProbeWindow {
  public:
    struct Event {
        UINT message;
        WPARAM wp;
        int x, y;
    };

    ProbeWindow() {
        thread_ = std::thread([this] { Run(); });
        while (!ready_)
            ::Sleep(10);
    }
    ~ProbeWindow() {
        if (hwnd_ != nullptr)
            ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    HWND Hwnd() const { return hwnd_; }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> l(lock_);
        return events_;
    }
    std::wstring Chars() {
        std::lock_guard<std::mutex> l(lock_);
        return chars_;
    }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ProbeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            self = static_cast<ProbeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        if (self != nullptr) {
            std::lock_guard<std::mutex> l(self->lock_);
            switch (msg) {
                case WM_LBUTTONDOWN:
                case WM_LBUTTONUP:
                    self->events_.push_back({msg, wp, (short)LOWORD(lp), (short)HIWORD(lp)});
                    break;
                case WM_KEYDOWN:
                case WM_SYSKEYDOWN:
                    self->events_.push_back({msg, wp, 0, 0});
                    break;
                case WM_CHAR:
                    self->chars_ += static_cast<wchar_t>(wp);
                    break;
            }
        }
        switch (msg) {
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = ::BeginPaint(hwnd, &ps);
                HBRUSH brush = ::CreateSolidBrush(kProbeColour);
                RECT rc;
                ::GetClientRect(hwnd, &rc);
                ::FillRect(dc, &rc, brush);
                ::DeleteObject(brush);
                ::EndPaint(hwnd, &ps);
                return 0;
            }
            case WM_DESTROY:
                ::PostQuitMessage(0);
                return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }

    void Run() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kProbeClass;
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, kProbeClass, L"探针窗口", WS_POPUP | WS_VISIBLE, 200, 150, 400,
                                  300, nullptr, nullptr, wc.hInstance, this);
        // A notch in the top-left corner: the capture must show the desktop there.
        ::SetWindowRgn(hwnd_, ::CreateRoundRectRgn(0, 0, 401, 301, 40, 40), TRUE);
        ready_ = true;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        hwnd_ = nullptr;
    }

    std::thread thread_;
    std::atomic<bool> ready_{false};
    HWND hwnd_ = nullptr;
    std::mutex lock_;
    std::vector<Event> events_;
    std::wstring chars_;
};

int RunDriver(const std::wstring& args, std::string* output = nullptr) {
    const std::wstring exe = Backslashes(vorn::test::WideArg("guidriver"));
    std::wstring command = L"\"" + exe + L"\" " + args;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    vorn::UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &sa, 0))
        return -1;
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd.Get();
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &si, &pi)) {
        return -1;
    }
    vorn::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    writeEnd.Reset();
    std::string text;
    char buffer[512];
    DWORD got = 0;
    while (::ReadFile(readEnd.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    ::WaitForSingleObject(process.Get(), 30000);
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    if (output != nullptr)
        *output = text;
    return static_cast<int>(code);
}

TEST(GuiDriver, InputReachesWindowOfAnotherThread) {
    ProbeWindow probe;
    HWND hwnd = vorn::gui::WaitWindow(kProbeClass, 5000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, 120, 80));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(vorn::gui::TypeText(hwnd, L"a中b"));
    ASSERT_TRUE(WaitFor([&] { return probe.Chars().size() >= 3; }, 3000));

    const auto events = probe.Events();
    std::vector<UINT> order;
    for (const auto& e : events)
        order.push_back(e.message);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(events[0].x, 120);
    EXPECT_EQ(events[0].y, 80);
    EXPECT_EQ(events[1].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(events[2].wp, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(events[3].wp, static_cast<WPARAM>(VK_RETURN));
    EXPECT_NE(probe.Chars().find(L"a中b"), std::wstring::npos);
    EXPECT_EQ(vorn::gui::WindowTexts(hwnd).at(0), L"探针窗口");
}

TEST(GuiDriver, CaptureShowsWindowAndRegionGap) {
    ProbeWindow probe;
    HWND hwnd = vorn::gui::WaitWindow(kProbeClass, 5000);
    ASSERT_NE(hwnd, nullptr);
    ::Sleep(300);
    vorn::gui::Capture shot, screen;
    ASSERT_TRUE(vorn::gui::CaptureWindow(hwnd, shot));
    ASSERT_TRUE(vorn::gui::CaptureScreen(screen));
    EXPECT_EQ(shot.width, 400);
    EXPECT_EQ(shot.height, 300);
    EXPECT_EQ(shot.At(200, 150), 0x2080C0u);
    EXPECT_NE(shot.At(0, 0), 0x2080C0u) << "the region's corner must show the desktop";
    EXPECT_EQ(shot.At(0, 0), screen.At(5, 5));
    EXPECT_EQ(screen.At(400, 300), 0x2080C0u);

    const std::wstring png = vorn::test::WideArg("out") + L"\\driver-probe.png";
    ASSERT_TRUE(shot.SavePng(png));
    const std::string bytes = vorn::test::ReadBytes(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
}

TEST(GuiDriver, CommandLineProgramDrivesAnotherProcess) {
    ProbeWindow probe;
    ASSERT_NE(vorn::gui::WaitWindow(kProbeClass, 5000), nullptr);
    EXPECT_EQ(RunDriver(L"wait VornDriverProbe 2000"), 0);
    EXPECT_EQ(RunDriver(L"exists VornDriverProbe"), 0);
    EXPECT_EQ(RunDriver(L"exists NoSuchClass"), 1);
    EXPECT_EQ(RunDriver(L"wait NoSuchClass 200"), 1);
    EXPECT_EQ(RunDriver(L"click VornDriverProbe 30 40"), 0);
    EXPECT_EQ(RunDriver(L"key VornDriverProbe esc"), 0);
    EXPECT_EQ(RunDriver(L"type VornDriverProbe xy"), 0);
    EXPECT_EQ(RunDriver(L"key VornDriverProbe nosuchkey"), 1);
    EXPECT_EQ(RunDriver(L"click VornDriverProbe 1"), 2);
    std::string out;
    EXPECT_EQ(RunDriver(L"text VornDriverProbe", &out), 0);
    EXPECT_EQ(out, "探针窗口\n");
    EXPECT_EQ(RunDriver(L"rect VornDriverProbe", &out), 0);
    EXPECT_EQ(out, "200 150 600 450\n");
    const std::wstring png = vorn::test::WideArg("out") + L"\\driver-screen.png";
    EXPECT_EQ(RunDriver(L"screenshot screen \"" + png + L"\""), 0);
    EXPECT_TRUE(vorn::test::FileExists(png));

    ASSERT_TRUE(WaitFor([&] { return probe.Chars().size() >= 2; }, 3000));
    const auto events = probe.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(events[0].x, 30);
    EXPECT_EQ(events[0].y, 40);
    EXPECT_EQ(events[2].wp, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(probe.Chars(), L"\x1bxy");  // Escape translates to a character too
}

TEST(GuiDriver, AltF4ClosesAPlainWindow) {
    ProbeWindow probe;
    HWND hwnd = vorn::gui::WaitWindow(kProbeClass, 5000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    EXPECT_TRUE(vorn::gui::WaitWindowGone(hwnd, 5000));
}

TEST(UrlRecorder, ShellExecuteOfWebAddressesReachesTheRecorder) {
    vorn::test::TempDir dir;
    const std::wstring log = dir.File(L"urls.txt");
    ASSERT_TRUE(::SetEnvironmentVariableW(L"VORN_URL_LOG", log.c_str()));
    ASSERT_TRUE(vorn::gui::RegisterUrlRecorder(Backslashes(vorn::test::WideArg("recorder"))));

    const wchar_t* urls[] = {L"https://dl.example.invalid/pkg/a.7z",
                             L"http://www.example.invalid/p?x=1&y=%E4%B8%AD"};
    for (size_t i = 0; i < 2; ++i) {
        const auto r = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, L"open", urls[i], nullptr, nullptr, SW_SHOW));
        EXPECT_GT(r, 32) << "ShellExecuteW failed";
        // One at a time, so the order of the lines is known.
        EXPECT_TRUE(WaitFor([&] { return vorn::gui::ReadUrlLog(log).size() > i; }, 15000));
    }
    const auto lines = vorn::gui::ReadUrlLog(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], urls[0]);
    EXPECT_EQ(lines[1], urls[1]);
    ::SetEnvironmentVariableW(L"VORN_URL_LOG", nullptr);
}

}  // namespace
