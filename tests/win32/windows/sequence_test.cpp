// The window sequence: the toolkit's set-up, and the course that each check
// outcome takes, driven through its real windows against vorn-services.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "driver/gui_driver.h"
#include "installer/uihelp.h"
#include "installer/windowsequence.h"
#include "ui/toolkit.h"
#include "windows/installer_fixture.h"

namespace {

using vorn::gui::WaitFor;
using vorn::test::ReportEvent;

constexpr POINT kBoxClose{463, 25}, kClose{770, 25}, kStart{400, 437};
const ReportEvent kFailed{1, 0, 1, "check environment  failed"};
const ReportEvent kCancel{5, 1, 8, "Install Cancel"};
const ReportEvent kCheckStart{1, 1, 1, "check  environment"};
const wchar_t* const kWindowClasses[] = {L"CheckWndUI", L"VXMessageBoxUI", L"InstallWndUI",
                                         L"StartUpdateWndUI"};

// Runs part of the sequence on a thread of its own, as the main thread would,
// and notes every installer window that appears meanwhile.
class SequenceThread {
  public:
    explicit SequenceThread(std::function<void()> run) {
        m_thread = std::thread([this, run] {
            const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            run();
            if (SUCCEEDED(com))
                ::CoUninitialize();
            m_done = true;
        });
        m_watch = std::thread([this] {
            while (!m_done) {
                for (int i = 0; i < 4; ++i) {
                    if (vorn::gui::FindWindowByClass(kWindowClasses[i]) != nullptr)
                        m_seen[i] = true;
                }
                ::Sleep(20);
            }
        });
    }
    ~SequenceThread() {
        // A failed test may leave a window open: close whatever is left.
        for (int i = 0; i < 600 && !m_done; ++i) {
            for (const wchar_t* name : kWindowClasses) {
                if (HWND h = vorn::gui::FindWindowByClass(name))
                    ::PostMessageW(h, WM_CLOSE, 8, 0);
            }
            ::Sleep(100);
        }
        m_thread.join();
        m_watch.join();
    }
    bool WaitDone(DWORD ms) const {
        return WaitFor([this] { return m_done.load(); }, ms);
    }
    bool Seen(const wchar_t* className) const {
        for (int i = 0; i < 4; ++i) {
            if (std::wstring(kWindowClasses[i]) == className)
                return m_seen[i];
        }
        return false;
    }

  private:
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_seen[4] = {};
    std::thread m_thread;
    std::thread m_watch;
};

class Sequence : public vorn::test::InstallerWindowTest {
  protected:
    void SetUp() override {
        InstallerWindowTest::SetUp();
        SetUpToolkit(::GetModuleHandleW(nullptr));
    }
    void ExpectAt(HWND hwnd, LONG left, LONG top) {
        RECT rc{};
        ASSERT_TRUE(::GetWindowRect(hwnd, &rc));
        EXPECT_EQ(rc.left, left);
        EXPECT_EQ(rc.top, top);
    }
    CUIHelp* context = CUIHelp::Instance();
};

TEST(SequenceSetUp, ShadowClassOnceAndTheSkinFolder) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    SetUpToolkit(instance);
    SetUpToolkit(instance);  // a second set-up registers nothing twice
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(::GetClassInfoExW(instance, L"TavroShadowWnd", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    // A window of the class is a plain default window.
    HWND h = ::CreateWindowExW(0, L"TavroShadowWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               instance, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(::SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTCLIENT);
    ::DestroyWindow(h);
    // Once per process: after the class is gone, a new set-up does not bring it back.
    ASSERT_TRUE(::UnregisterClassW(L"TavroShadowWnd", instance));
    SetUpToolkit(instance);
    EXPECT_FALSE(::GetClassInfoExW(instance, L"TavroShadowWnd", &wc));

    EXPECT_EQ(TavroLib::CPaintManagerUI::GetResourceFolder(),
              TavroLib::CPaintManagerUI::GetModuleFolder() + L"\\skin\\");
}

TEST_F(Sequence, FailedOrEmptyCheckShowsOnlyTheFallbackAndReportsOnce) {
    for (int outcome : {CHECK_REQUEST_FAILED, CHECK_PACKAGE_EMPTY}) {
        SCOPED_TRACE(outcome);
        reportsFrom = vorn::test::Services::RecordCount(L"reports.jsonl");
        context->rcWindow = RECT{5, 5, 805, 505};
        context->checkType = static_cast<_CHECKTYPE>(outcome);
        SequenceThread run([] { RunCourse(); });
        HWND hwnd = vorn::gui::WaitWindow(L"VXMessageBoxUI", 10000);
        ASSERT_NE(hwnd, nullptr);
        // Centred on the work area, not at rcWindow.
        RECT rc{}, work{};
        ::GetWindowRect(hwnd, &rc);
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((rc.top + rc.bottom) / 2, (work.top + work.bottom) / 2, 1);
        EXPECT_TRUE(NewReports().empty()) << "reported before the window closed";
        ASSERT_TRUE(vorn::gui::Click(hwnd, kBoxClose.x, kBoxClose.y));
        ASSERT_TRUE(run.WaitDone(30000));
        EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kFailed});
        EXPECT_FALSE(run.Seen(L"InstallWndUI"));
        EXPECT_FALSE(run.Seen(L"StartUpdateWndUI"));
    }
}

TEST_F(Sequence, InstallPageOpensAtTheRecordedPlaceAndClosingItCancels) {
    context->rcWindow = RECT{61, 47, 861, 547};
    context->checkType = CHECK_NEED_INSTALL;
    SequenceThread run([] { RunCourse(); });
    HWND hwnd = vorn::gui::WaitWindow(L"InstallWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ExpectAt(hwnd, 61, 47);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kClose.x, kClose.y));
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCancel});
}

TEST_F(Sequence, InstallPageClosedByTheSystemAlsoCancels) {
    context->checkType = CHECK_NEED_INSTALL;
    SequenceThread run([] { RunCourse(); });
    HWND hwnd = vorn::gui::WaitWindow(L"InstallWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCancel});
}

TEST_F(Sequence, InstallRequestEndsTheRunForNowAndSaysSo) {
    context->checkType = CHECK_NEED_INSTALL;
    SequenceThread run([] { RunCourse(); });
    HWND hwnd = vorn::gui::WaitWindow(L"InstallWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ::PostMessageW(hwnd, WM_CLOSE, IDOK, 0);  // what the install button's Close(1) posts
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_TRUE(NewReports().empty());
    EXPECT_EQ(
        log.Count(L"[Info]| install page closed to install: no progress window yet, run ends "),
        1u);
}

TEST_F(Sequence, InstallationFoundOpensTheStartWindowWhoseCloseButtonReportsNothing) {
    context->rcWindow = RECT{13, 17, 813, 517};
    context->checkType = CHECK_INSTALLED;
    SequenceThread run([] { RunCourse(); });
    HWND hwnd = vorn::gui::WaitWindow(L"StartUpdateWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ExpectAt(hwnd, 13, 17);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kClose.x, kClose.y));
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_TRUE(NewReports().empty());
    EXPECT_FALSE(run.Seen(L"InstallWndUI"));
    EXPECT_FALSE(run.Seen(L"VXMessageBoxUI"));
}

TEST_F(Sequence, UpdateOutcomeGoesOnFromTheStartWindow) {
    context->checkType = static_cast<_CHECKTYPE>(2);  // never produced by the check
    SequenceThread run([] { RunCourse(); });
    HWND hwnd = vorn::gui::WaitWindow(L"StartUpdateWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_TRUE(NewReports().empty());
    EXPECT_EQ(log.Count(L"[Info]| start/update window closed to install: no progress window "
                        L"yet, run ends "),
              1u);
}

TEST_F(Sequence, WithoutInstallationTheInstallPageOpensWhereTheCheckWindowWas) {
    SequenceThread run([] { RunWindows(""); });
    HWND check = vorn::gui::WaitWindow(L"CheckWndUI", 10000);
    ASSERT_NE(check, nullptr);
    ASSERT_TRUE(::SetWindowPos(check, nullptr, 44, 52, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    HWND page = vorn::gui::WaitWindow(L"InstallWndUI", 30000);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(::IsWindow(check));
    ExpectAt(page, 44, 52);
    EXPECT_EQ(context->checkType, CHECK_NEED_INSTALL);
    ASSERT_TRUE(vorn::gui::Click(page, kClose.x, kClose.y));
    ASSERT_TRUE(run.WaitDone(30000));
    EXPECT_EQ(NewReports(), (std::vector<ReportEvent>{kCheckStart, kCancel}));
}

LRESULT CALLBACK RefuseCreation(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
        return FALSE;
    return ::DefWindowProcW(h, msg, wp, lp);
}

TEST_F(Sequence, CheckWindowRefusedByTheSystemEndsWithTheFallback) {
    // A class of the check window's name that refuses every window.
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    ::UnregisterClassW(L"CheckWndUI", instance);  // left by an earlier check window
    WNDCLASSW wc{};
    wc.lpfnWndProc = RefuseCreation;
    wc.hInstance = instance;
    wc.lpszClassName = L"CheckWndUI";
    ASSERT_NE(::RegisterClassW(&wc), 0);
    {
        SequenceThread run([] { RunWindows(""); });
        HWND box = vorn::gui::WaitWindow(L"VXMessageBoxUI", 10000);
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(vorn::gui::Click(box, kBoxClose.x, kBoxClose.y));
        ASSERT_TRUE(run.WaitDone(30000));
        EXPECT_FALSE(run.Seen(L"CheckWndUI"));
    }
    ::UnregisterClassW(L"CheckWndUI", instance);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kFailed});
    EXPECT_EQ(context->checkType, CHECK_REQUEST_FAILED);
    EXPECT_EQ(log.Count(L"[Error]| check window not created "), 1u);
}

}  // namespace
