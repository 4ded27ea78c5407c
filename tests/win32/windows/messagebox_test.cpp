// The two message windows, driven with real clicks and key presses: the
// fallback window opens the green-package address in the browser (here the
// recorder) and stays open; only its buttons close it, with 8.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver/gui_driver.h"
#include "installer/messageinfobox.h"
#include "installer/vxmessagebox.h"
#include "support/test_support.h"
#include "windows/window_host.h"

using vorn::gui::WaitFor;

namespace {

using vorn::test::WindowThread;

// Button centres in client coordinates, from the layouts.
constexpr POINT kVxOk{162, 166}, kVxCancel{342, 166}, kClose{463, 25}, kInfoOk{250, 164};

std::wstring Backslashes(std::wstring p) {
    for (auto& c : p) {
        if (c == L'/')
            c = L'\\';
    }
    return p;
}

// Clicks apart by more than the double-click time, as two separate clicks.
void SlowClick(HWND hwnd, POINT p) {
    ASSERT_TRUE(vorn::gui::Click(hwnd, p.x, p.y));
    ::Sleep(::GetDoubleClickTime() + 100);
}

UINT ClosedCode(WindowThread& w) {
    UINT code = 0xFFFF;
    EXPECT_TRUE(w.WaitClosed(10000, code)) << "the window did not close";
    return code;
}

class UrlLog : public testing::Test {
  protected:
    void SetUp() override {
        log_ = dir_.File(L"urls.txt");
        ASSERT_TRUE(::SetEnvironmentVariableW(L"VORN_URL_LOG", log_.c_str()));
        ASSERT_TRUE(vorn::gui::RegisterUrlRecorder(Backslashes(vorn::test::WideArg("recorder"))));
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"VORN_URL_LOG", nullptr); }
    std::vector<std::wstring> Lines() const { return vorn::gui::ReadUrlLog(log_); }

    vorn::test::TempDir dir_;
    std::wstring log_;
};

using VXMessageBoxTest = UrlLog;

TEST_F(VXMessageBoxTest, OkOpensTheGreenPackageEachTimeAndStaysOpen) {
    WindowThread w([] { return std::make_unique<VXMessageBox>(); });
    HWND hwnd = vorn::gui::WaitWindow(L"VXMessageBoxUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(hwnd, w.Hwnd());
    EXPECT_EQ(vorn::gui::WindowTexts(hwnd).at(0), L"Velto加速器安装程序");
    RECT r;
    ::GetClientRect(hwnd, &r);
    EXPECT_EQ(r.right, 498);
    EXPECT_EQ(r.bottom, 230);

    SlowClick(hwnd, kVxOk);
    ASSERT_TRUE(WaitFor([&] { return Lines().size() >= 1; }, 15000)) << "no browser started";
    SlowClick(hwnd, kVxOk);
    ASSERT_TRUE(WaitFor([&] { return Lines().size() >= 2; }, 15000));
    ::Sleep(300);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::wstring host = vorn::test::WideArg("green-host");
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(lines[0], L"https://" + host + L"/pkg/velto/pc_noinstall.7z");
    EXPECT_EQ(lines[1], lines[0]);
    EXPECT_EQ(VXMessageBox::GreenPackageAddress(), lines[0]);
    EXPECT_TRUE(w.IsOpen()) << "the window closed after ok";

    // Clicks outside the buttons (the label, the drag area) change nothing.
    SlowClick(hwnd, POINT{250, 100});
    EXPECT_TRUE(w.IsOpen());
    EXPECT_EQ(Lines().size(), 2u);

    SlowClick(hwnd, kVxCancel);
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(VXMessageBoxTest, EnterAndEscapeDoNothingCloseButtonCloses) {
    WindowThread w([] { return std::make_unique<VXMessageBox>(); });
    HWND hwnd = vorn::gui::WaitWindow(L"VXMessageBoxUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    vorn::test::KeyWatch keys(w.ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_ESCAPE) > 0; }, 3000));
    EXPECT_EQ(keys.Count(VK_RETURN), 1) << "the keys did not reach the window";
    ::Sleep(500);
    EXPECT_TRUE(w.IsOpen()) << "a key closed the window";
    EXPECT_TRUE(Lines().empty()) << "a key opened the browser";
    SlowClick(hwnd, kClose);
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
}

TEST(VXMessageBox, AltF4ClosesWithoutCode) {
    WindowThread w([] { return std::make_unique<VXMessageBox>(); });
    HWND hwnd = vorn::gui::WaitWindow(L"VXMessageBoxUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    vorn::test::KeyWatch keys(w.ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_F4) > 0; }, 3000)) << "no F4 arrived";
    EXPECT_EQ(ClosedCode(w), 0u);
}

// The shared base of the installer's windows keeps the window base's keys: a
// window that does not opt out closes on Escape with 1 (as the completion
// window must).
class PlainInstallerWindow : public CInstallerWindow {
  public:
    const wchar_t* GetWindowClassName() const override { return L"PlainInstallerWndUI"; }
    std::wstring GetSkinFile() override { return L"CompleteWnd.xml"; }
};

TEST(InstallerWindow, EscapeKeepsTheBaseBehaviourUnlessAWindowOptsOut) {
    WindowThread w([] { return std::make_unique<PlainInstallerWindow>(); });
    HWND hwnd = vorn::gui::WaitWindow(L"PlainInstallerWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    vorn::test::KeyWatch keys(w.ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_RETURN) > 0; }, 3000));
    ::Sleep(300);
    EXPECT_TRUE(w.IsOpen()) << "Enter closed the window";
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDOK));
}

TEST(MessageInfoBox, WithoutMessageShowsUnknownErrorAndOkCloses) {
    WindowThread w([] { return std::make_unique<MessageInfoBox>(); });
    HWND hwnd = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    TavroLib::CControlUI* label = w.Window()->FindControl(L"label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), L"未知异常");
    EXPECT_EQ(static_cast<MessageInfoBox*>(w.Window())->Message(), L"未知异常");
    vorn::test::KeyWatch keys(w.ThreadId());
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_RETURN) > 0; }, 3000));
    EXPECT_EQ(keys.Count(VK_ESCAPE), 1) << "the keys did not reach the box";
    ::Sleep(500);
    EXPECT_TRUE(w.IsOpen()) << "a key closed the box";
    SlowClick(hwnd, kInfoOk);
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
}

TEST(MessageInfoBox, ShowsItsMessageAndCloseButtonCloses) {
    WindowThread w([] {
        auto box = std::make_unique<MessageInfoBox>();
        box->SetMessage(L"安装盘符空间不足，请重新选择安装路径");
        return box;
    });
    HWND hwnd = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(w.Window()->FindControl(L"label")->GetText(),
              L"安装盘符空间不足，请重新选择安装路径");
    // A click on the label is no button click.
    SlowClick(hwnd, POINT{250, 90});
    EXPECT_TRUE(w.IsOpen());
    SlowClick(hwnd, kClose);
    EXPECT_EQ(ClosedCode(w), static_cast<UINT>(IDCLOSE));
}

}  // namespace
