// The start/update window driven with real clicks: with an installation found
// its start button reports, copies the channel file into the install folder
// and starts the client (a stand-in that records its start); for the other
// outcomes it hands over to the progress window or does nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "driver/gui_driver.h"
#include "installer/resource.h"
#include "installer/startupdatewnd.h"
#include "installer/uihelp.h"
#include "windows/installer_fixture.h"
#include "windows/window_host.h"

namespace {

using vorn::gui::WaitFor;
using vorn::test::ReportEvent;
using vorn::test::WindowThread;

constexpr POINT kStart{400, 437}, kClose{770, 25};
const ReportEvent kStarted{1, 1, 9, "Install Success"};

class StartUpdateWindow : public vorn::test::InstallerWindowTest {
  protected:
    void SetUp() override {
        InstallerWindowTest::SetUp();
        context->installDir = install.Path();
        context->exeName = L"vorn.exe";
        context->checkType = CHECK_INSTALLED;
    }
    // Opens the window and moves it as a user would drag it.
    HWND Open(WindowThread& w) {
        HWND hwnd = vorn::gui::WaitWindow(L"StartUpdateWndUI", 10000);
        EXPECT_EQ(hwnd, w.Hwnd());
        if (hwnd != nullptr) {
            ::SetWindowPos(hwnd, nullptr, 23, 31, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            ::Sleep(200);
        }
        return hwnd;
    }
    static WindowThread::Factory Make() {
        return [] { return std::make_unique<CStartUpdateWnd>(); };
    }
    void ExpectRecordedAt23And31() {
        const RECT rc = context->rcWindow;
        EXPECT_EQ(rc.left, 23);
        EXPECT_EQ(rc.top, 31);
        EXPECT_EQ(rc.right - rc.left, 800);
        EXPECT_EQ(rc.bottom - rc.top, 500);
    }
    static UINT ClosedCode(WindowThread& w) {
        UINT code = 0xFFFF;
        EXPECT_TRUE(w.WaitClosed(30000, code)) << "the window did not close";
        return code;
    }
    CUIHelp* context = CUIHelp::Instance();
};

TEST_F(StartUpdateWindow, StartReportsCopiesTheChannelFileAndStartsTheClient) {
    PlaceClient();
    // A stale, longer copy is replaced by exactly the executable's channel file.
    ASSERT_TRUE(vorn::test::WriteBytes(install.File(L"ZizUdir.dat"), std::string(100, 'x')));
    const std::string channelFile = vorn::test::OwnDataResource(IDR_CHANNEL_FILE);
    ASSERT_EQ(channelFile.size(), 32u);

    WindowThread w(Make());
    HWND hwnd = Open(w);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kStarted});
    EXPECT_EQ(vorn::test::ReadBytes(install.File(L"ZizUdir.dat")), channelFile);
    ASSERT_TRUE(WaitFor([&] { return !ClientStarts().empty(); }, 15000)) << "no client started";
    ::Sleep(300);
    EXPECT_EQ(ClientStarts().size(), 1u);
    ExpectRecordedAt23And31();
}

TEST_F(StartUpdateWindow, FolderWithoutTrailingBackslashStillStartsTheClient) {
    // The check accepts such a folder from the registry; the launch must too.
    PlaceClient();
    std::wstring folder = install.Path();
    folder.pop_back();
    context->installDir = folder;
    WindowThread w(Make());
    HWND hwnd = Open(w);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
    EXPECT_TRUE(WaitFor([&] { return !ClientStarts().empty(); }, 15000)) << "no client started";
    EXPECT_EQ(vorn::test::ReadBytes(install.File(L"ZizUdir.dat")).size(), 32u);
}

TEST_F(StartUpdateWindow, UpdateOutcomesGoOnToTheProgressWindow) {
    PlaceClient();
    for (int outcome : {2, 4, 5}) {
        SCOPED_TRACE(outcome);
        context->checkType = static_cast<_CHECKTYPE>(outcome);
        context->rcWindow = RECT{};
        WindowThread w(Make());
        HWND hwnd = Open(w);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
        EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDOK));
        ExpectRecordedAt23And31();
    }
    ::Sleep(300);
    EXPECT_TRUE(NewReports().empty());
    EXPECT_TRUE(ClientStarts().empty());
    EXPECT_FALSE(vorn::test::FileExists(install.File(L"ZizUdir.dat")));
}

TEST_F(StartUpdateWindow, OtherOutcomesDoNothingButRecordThePlace) {
    PlaceClient();
    context->checkType = CHECK_NEED_INSTALL;
    WindowThread w(Make());
    HWND hwnd = Open(w);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(vorn::gui::Click(hwnd, kStart.x, kStart.y));
    ::Sleep(800);
    EXPECT_TRUE(w.IsOpen());
    ExpectRecordedAt23And31();
    ASSERT_TRUE(vorn::gui::Click(hwnd, kClose.x, kClose.y));
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
    EXPECT_TRUE(NewReports().empty());
    EXPECT_TRUE(ClientStarts().empty());
}

TEST_F(StartUpdateWindow, EnterAndEscapeDoNothingAltF4ClosesWithoutCode) {
    PlaceClient();
    WindowThread w(Make());
    HWND hwnd = Open(w);
    ASSERT_NE(hwnd, nullptr);
    vorn::test::KeyWatch keys(w.ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_ESCAPE) > 0; }, 3000));
    EXPECT_EQ(keys.Count(VK_RETURN), 1) << "the keys did not reach the window";
    ::Sleep(500);
    EXPECT_TRUE(w.IsOpen()) << "a key closed the window";
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    EXPECT_EQ(ClosedCode(w), 0u);
    EXPECT_TRUE(NewReports().empty());
    EXPECT_TRUE(ClientStarts().empty());
}

}  // namespace
