// The completion window's three exits: the start button reports and closes
// with 8, Escape closes with 1 and reports nothing, the close button ends the
// process with exit code 0 and nothing after it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver/gui_driver.h"
#include "installer/completewnd.h"
#include "installer/windowsequence.h"
#include "util/path_util.h"
#include "windows/installer_fixture.h"

namespace {

using vorn::test::ReportEvent;

constexpr POINT kClose{770, 25}, kStart{400, 437};

class CompleteWindow : public vorn::test::InstallerWindowTest {
  protected:
    void SetUp() override {
        InstallerWindowTest::SetUp();
        SetUpToolkit(::GetModuleHandleW(nullptr));
    }
    // Shows the singleton modally on a thread of its own; its close code.
    void Show() {
        run = std::thread([this] {
            CompleteWnd* w = CompleteWnd::Instance();
            if (w->CreateInstallerWindow())
                code = static_cast<int>(w->ShowModal());
            CompleteWnd::ReleaseInstance();
            done = true;
        });
    }
    void TearDown() override {
        for (int i = 0; i < 100 && !done; ++i) {
            if (HWND h = vorn::gui::FindWindowByClass(L"CompleteWndUI"))
                ::PostMessageW(h, WM_CLOSE, 0, 0);
            ::Sleep(100);
        }
        if (run.joinable())
            run.join();
        InstallerWindowTest::TearDown();
    }
    std::thread run;
    std::atomic<bool> done{false};
    std::atomic<int> code{-1};
};

TEST_F(CompleteWindow, StartReportsOnceAndClosesWithEight) {
    Show();
    HWND hwnd = vorn::gui::WaitWindow(L"CompleteWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
    ASSERT_TRUE(vorn::gui::WaitFor([this] { return done.load(); }, 15000));
    EXPECT_EQ(code.load(), IDCLOSE);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>({{1, 1, 7, "Install Success"}}));
}

TEST_F(CompleteWindow, EscapeClosesWithOneWithoutReport) {
    Show();
    HWND hwnd = vorn::gui::WaitWindow(L"CompleteWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ::Sleep(300);
    EXPECT_FALSE(done.load()) << "Enter does nothing";
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(vorn::gui::WaitFor([this] { return done.load(); }, 15000));
    EXPECT_EQ(code.load(), IDOK);
    EXPECT_TRUE(NewReports().empty());
}

TEST_F(CompleteWindow, SystemCloseGivesZero) {
    Show();
    HWND hwnd = vorn::gui::WaitWindow(L"CompleteWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    ASSERT_TRUE(vorn::gui::WaitFor([this] { return done.load(); }, 15000));
    EXPECT_EQ(code.load(), 0);
    EXPECT_TRUE(NewReports().empty());
}

TEST_F(CompleteWindow, CloseButtonEndsTheProcessWithZero) {
    const std::wstring marker = install.File(L"returned.txt");
    const int exitCode = vorn::test::RunProcess(
        vorn::test::OwnPath(), L"--gtest_filter=CompleteWindowChild.* \"--marker=" + marker + L"\"",
        log.Temp().Path());
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(vorn::IsRegularFile(marker)) << "something ran after the close button";
    EXPECT_TRUE(NewReports().empty());
}

// The child of the test above: shows the window and presses its close button.
TEST(CompleteWindowChild, PressesTheCloseButton) {
    const std::wstring marker = vorn::test::WideArg("marker");
    if (marker.empty())
        GTEST_SKIP() << "run by CompleteWindow.CloseButtonEndsTheProcessWithZero";
    SetUpToolkit(::GetModuleHandleW(nullptr));
    std::thread clicker([] {
        if (HWND hwnd = vorn::gui::WaitWindow(L"CompleteWndUI", 10000))
            vorn::gui::Click(hwnd, kClose.x, kClose.y);
    });
    clicker.detach();
    CompleteWnd* w = CompleteWnd::Instance();
    ASSERT_TRUE(w->CreateInstallerWindow());
    w->ShowModal();
    vorn::test::WriteBytes(marker, "returned");
    ADD_FAILURE() << "the close button returned to its caller";
    ::ExitProcess(3);
}

}  // namespace
