// The environment check against vorn-services: the outcome for each state of
// the registry and the disk, the server's failures, the minimum display time,
// the window that cannot be closed before the check is done, and threads that
// cannot be started.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <new>
#include <string>

#include "driver/gui_driver.h"
#include "installer/checkwnd.h"
#include "installer/httpinstallinfo.h"
#include "installer/uihelp.h"
#include "windows/installer_fixture.h"
#include "windows/window_host.h"

namespace {

using vorn::gui::WaitFor;
using vorn::test::InstallerWindowTest;
using vorn::test::ReportEvent;
using vorn::test::WindowThread;

const ReportEvent kCheckStart{1, 1, 1, "check  environment"};
const wchar_t kFailedLine[] = L"[Error]| Get /pc/UpdateRequest Failed ";
const wchar_t kEmptyLine[] = L"[Error]| Get /pc/UpdateRequest dwSize 0 ";
const char kEmptyPackage[] =
    "{\"success\":true,\"data\":{\"downloadUrl\":\"https://dl.example/p.7z\",\"apkSize\":\"0\","
    "\"crc\":\"1\",\"clientVersion\":\"1.0.0\"}}";

_CHECKTYPE RunCheck(CCheckWnd& check) {
    std::promise<_CHECKTYPE> promise;
    std::future<_CHECKTYPE> future = promise.get_future();
    check.CheckRegedit(promise);
    EXPECT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    return future.get();
}

// The registry and the disk as an installation leaves them, probed by the
// worker alone (no window).
class CheckProcedure : public InstallerWindowTest {
  protected:
    _CHECKTYPE Check() {
        CCheckWnd check("");
        return RunCheck(check);
    }
    CUIHelp* context = CUIHelp::Instance();
};

TEST_F(CheckProcedure, NoProductKeyNeedsInstallAndKeepsTheDefaults) {
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);
    EXPECT_EQ(context->installDir, L"C:\\Program Files\\Vorn");
    EXPECT_EQ(context->exeName, L"vorn.exe");
    EXPECT_FALSE(log.Has(kFailedLine));
    // The start is reported first, before the client-version request.
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCheckStart});
    const auto paths = NewRequestPaths();
    const auto report = std::find(paths.begin(), paths.end(), "/commonReport/report");
    const auto version = std::find(paths.begin(), paths.end(), vorn::test::kVersionPath);
    ASSERT_NE(version, paths.end());
    EXPECT_LT(report, version);
}

TEST_F(CheckProcedure, CompleteInstallationIsFound) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    EXPECT_EQ(Check(), CHECK_INSTALLED);
    EXPECT_EQ(context->installDir, install.Path());
    EXPECT_EQ(context->exeName, L"vorn.exe");
}

TEST_F(CheckProcedure, FolderWithoutTrailingBackslashIsJoinedWithOne) {
    PlaceClient();
    std::wstring folder = install.Path();
    folder.pop_back();
    SetCompleteInstallation(folder);
    EXPECT_EQ(Check(), CHECK_INSTALLED);
    EXPECT_EQ(context->installDir, folder);
}

TEST_F(CheckProcedure, ClientMissingOrAFolderNeedsInstall) {
    SetCompleteInstallation(install.Path());
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);
    // The fields hold what the registry said all the same.
    EXPECT_EQ(context->installDir, install.Path());
    ASSERT_TRUE(::CreateDirectoryW(install.File(L"vorn.exe").c_str(), nullptr));
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);
}

TEST_F(CheckProcedure, MissingValuesNeedInstall) {
    PlaceClient();
    SetProductValue(L"installDir", install.Path());
    SetProductValue(L"Version", L"1.0.0");
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);  // no "Start"
    EXPECT_EQ(context->installDir, install.Path());
    EXPECT_EQ(context->exeName, L"vorn.exe");

    ResetContext();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, vorn::test::kProductKey);
    SetProductValue(L"installDir", install.Path());
    SetProductValue(L"Start", L"client.exe");
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);  // no "Version"
    EXPECT_EQ(context->installDir, install.Path());
    EXPECT_EQ(context->exeName, L"client.exe");

    ResetContext();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, vorn::test::kProductKey);
    SetProductValue(L"Start", L"vorn.exe");
    SetProductValue(L"Version", L"1.0.0");
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);  // no "installDir": nothing else is read
    EXPECT_EQ(context->installDir, L"C:\\Program Files\\Vorn");
}

TEST_F(CheckProcedure, EmptyVersionCountsAsPresent) {
    PlaceClient();
    SetProductValue(L"installDir", install.Path());
    SetProductValue(L"Start", L"vorn.exe");
    SetProductValue(L"Version", L"");
    EXPECT_EQ(Check(), CHECK_INSTALLED);
}

TEST_F(CheckProcedure, ValuesTooLongForTheBufferCountAsAbsent) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    // 130 characters and the terminator need 262 bytes: the read fails.
    SetProductValue(L"Start", std::wstring(130, L's'));
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);
    EXPECT_EQ(context->exeName, L"vorn.exe");
    // Exactly 260 bytes without a terminator: absent as well.
    SetProductValue(L"Start", std::wstring(130, L's'), false);
    EXPECT_EQ(Check(), CHECK_NEED_INSTALL);
    EXPECT_EQ(context->exeName, L"vorn.exe");
    // 129 characters fit.
    SetProductValue(L"Version", std::wstring(129, L'v'));
    SetProductValue(L"Start", L"vorn.exe");
    EXPECT_EQ(Check(), CHECK_INSTALLED);
}

TEST_F(CheckProcedure, EmptyPackageWinsOverACompleteInstallation) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    ASSERT_TRUE(AnswerClientVersion(kEmptyPackage));
    EXPECT_EQ(Check(), CHECK_PACKAGE_EMPTY);
    EXPECT_TRUE(log.Has(kEmptyLine));
    // The registry is not consulted.
    EXPECT_EQ(context->installDir, L"C:\\Program Files\\Vorn");
}

TEST_F(CheckProcedure, FailedRequestSkipsTheRegistry) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    ASSERT_TRUE(vorn::test::Services::AddFault(
        "{\"path\":\"/api/v1/sys/getClientVersion\",\"status\":500,\"body\":\"<html>\"}"));
    EXPECT_EQ(Check(), CHECK_REQUEST_FAILED);
    EXPECT_EQ(log.Count(kFailedLine), 1u);
    EXPECT_EQ(context->installDir, L"C:\\Program Files\\Vorn");
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCheckStart});
}

class ThrowingCheckWnd : public CCheckWnd {
  public:
    ThrowingCheckWnd() : CCheckWnd("") {}

  protected:
    bool RequestInstallInfo() override { throw std::bad_alloc(); }
};

TEST_F(CheckProcedure, ExceptionInTheWorkerYieldsRequestFailed) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    ThrowingCheckWnd check;
    EXPECT_EQ(RunCheck(check), CHECK_REQUEST_FAILED);
    EXPECT_FALSE(log.Has(kFailedLine));
}

// The window: three threads behind the animation.
class CheckWindow : public InstallerWindowTest {
  protected:
    void FailRequestAtOnce() {
        ASSERT_TRUE(vorn::test::Services::AddFault(
            "{\"path\":\"/api/v1/sys/getClientVersion\",\"status\":500,\"body\":\"x\"}"));
    }
    // Shows the window as the sequence does; the time until it closed.
    DWORD ShowUntilClosed(WindowThread::Factory make, UINT& code, DWORD limitMs = 30000) {
        const ULONGLONG start = ::GetTickCount64();
        WindowThread w(std::move(make));
        EXPECT_NE(w.Hwnd(), nullptr);
        EXPECT_TRUE(w.WaitClosed(limitMs, code)) << "the check window did not close";
        return static_cast<DWORD>(::GetTickCount64() - start);
    }
};

TEST_F(CheckWindow, StaysThreeSecondsWhenTheRequestFailsAtOnce) {
    FailRequestAtOnce();
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<CCheckWnd>(std::string()); }, code);
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_GE(elapsed, 3000u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_REQUEST_FAILED);
}

TEST_F(CheckWindow, AnyCommandLineShortensTheMinimumToOneSecond) {
    FailRequestAtOnce();
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<CCheckWnd>(std::string(" ")); }, code);
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LT(elapsed, 2800u);
}

TEST_F(CheckWindow, SlowRequestKeepsTheWindowAndNothingMore) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    ASSERT_TRUE(vorn::test::Services::AddFault(
        "{\"path\":\"/api/v1/sys/getClientVersion\",\"delay_ms\":3500}"));
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<CCheckWnd>(std::string("/x")); }, code);
    EXPECT_GE(elapsed, 3500u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_INSTALLED);
}

TEST_F(CheckWindow, CannotBeClosedBeforeTheCheckIsDoneAndRecordsWhereItWasMoved) {
    FailRequestAtOnce();
    const ULONGLONG start = ::GetTickCount64();
    WindowThread w([] { return std::make_unique<CCheckWnd>(std::string()); });
    HWND hwnd = vorn::gui::WaitWindow(L"CheckWndUI", 10000);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(hwnd, w.Hwnd());
    auto* check = static_cast<CCheckWnd*>(w.Window());

    vorn::test::KeyWatch keys(w.ThreadId());
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"esc"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"enter"));
    ASSERT_TRUE(vorn::gui::Key(hwnd, L"alt+f4"));
    ASSERT_TRUE(WaitFor([&] { return keys.Count(VK_F4) > 0; }, 3000)) << "no Alt+F4 arrived";
    EXPECT_EQ(keys.Count(VK_ESCAPE), 1);
    EXPECT_EQ(keys.Count(VK_RETURN), 1);
    ::Sleep(300);
    ASSERT_LT(::GetTickCount64() - start, 2500u) << "too slow to test before the minimum";
    EXPECT_TRUE(w.IsOpen()) << "closed before the check was done";
    EXPECT_FALSE(check->IsCheckDone());

    // The user drags the window meanwhile; the next window opens there.
    ASSERT_TRUE(::SetWindowPos(hwnd, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    UINT code = 0;
    ASSERT_TRUE(w.WaitClosed(10000, code));
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_GE(::GetTickCount64() - start, 3000u);
    const RECT rc = CUIHelp::Instance()->rcWindow;
    EXPECT_EQ(rc.left, 37);
    EXPECT_EQ(rc.top, 41);
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 500);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_REQUEST_FAILED);
}

// Refuses the n-th thread it is asked for (0 worker, 1 minimum time, 2 finishing).
class RefusingCheckWnd : public CCheckWnd {
  public:
    RefusingCheckWnd(std::string commandLine, int refuse)
        : CCheckWnd(std::move(commandLine)), m_refuse(refuse) {}

  protected:
    bool StartThread(std::thread& thread, std::function<void()> body) override {
        if (m_calls++ == m_refuse)
            return false;
        return CCheckWnd::StartThread(thread, std::move(body));
    }

  private:
    int m_refuse;
    int m_calls = 0;
};

TEST_F(CheckWindow, WithoutAWorkerTheCheckFailsAndTheWindowStillCloses) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    CUIHelp::Instance()->checkType = CHECK_INSTALLED;
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<RefusingCheckWnd>("x", 0); }, code);
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_GE(elapsed, 1000u);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_REQUEST_FAILED);
    EXPECT_TRUE(NewReports().empty()) << "a check ran";
}

TEST_F(CheckWindow, WithoutTheMinimumTimeThreadTheWindowClosesWhenTheCheckIsDone) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<RefusingCheckWnd>(std::string(), 1); }, code);
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_LT(elapsed, 3000u);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_INSTALLED);
}

TEST_F(CheckWindow, WithoutTheFinishingThreadTheCheckStillEndsAndTheWindowCloses) {
    PlaceClient();
    SetCompleteInstallation(install.Path());
    UINT code = 0;
    const DWORD elapsed =
        ShowUntilClosed([] { return std::make_unique<RefusingCheckWnd>("x", 2); }, code);
    EXPECT_EQ(code, static_cast<UINT>(IDOK));
    EXPECT_GE(elapsed, 1000u);
    EXPECT_EQ(CUIHelp::Instance()->checkType, CHECK_INSTALLED);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCheckStart});
}

}  // namespace
