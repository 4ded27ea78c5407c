// The progress window: its figures, the extraction's progress message, and its
// worker against vorn-services: failures that leave it on screen, and a whole
// download and installation of a small package made at build time.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "comm/httplibdownload.h"
#include "driver/gui_driver.h"
#include "installer/archiveextractor.h"
#include "installer/httpinstallinfo.h"
#include "installer/processwnd.h"
#include "installer/registryentries.h"
#include "installer/shortcuts.h"
#include "installer/uihelp.h"
#include "installer/windowsequence.h"
#include "ui/toolkit.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"
#include "windows/installer_fixture.h"

namespace {

using vorn::test::ReportEvent;

constexpr POINT kBoxOk{250, 164}, kStart{400, 437};
const ReportEvent kCrcFailed{4, 0, 0, "check crc failed"};
const ReportEvent kExtractFailed{4, 0, 0, "extract failed"};
const ReportEvent kSuccess{1, 1, 7, "Install Success"};
const ReportEvent kStarted{4, 1, 7, "start client"};

// A progress window without its worker, for the figures alone.
class IdleProcessWnd : public CProcessWnd {
  public:
    int starts = 0;

  protected:
    bool StartThread(std::thread& /*thread*/, std::function<void()> /*body*/) override {
        ++starts;
        return true;
    }
};

// A worker that keeps sending progress, as the extraction does, for a while.
class SendingProcessWnd : public CProcessWnd {
  public:
    std::atomic<int> answered{0};

  protected:
    void InstallWorker() override {
        for (int i = 0; i < 400; ++i) {
            if (::SendMessageW(WorkerWindow(), WM_INSTALL_PROGRESS, i % 100, 0) == 0 &&
                ::IsWindow(WorkerWindow())) {
                ++answered;
            }
            ::Sleep(5);
        }
    }
};

std::wstring Text(CProcessWnd& w, const wchar_t* name) {
    TavroLib::CControlUI* c = w.FindControl(name);
    return c ? c->GetText() : L"<missing>";
}

int Bar(CProcessWnd& w) {
    auto* bar = dynamic_cast<TavroLib::CProgressUI*>(w.FindControl(L"process"));
    return bar ? bar->GetValue() : -1;
}

// Runs the queued messages of this thread, counting the task messages.
int Pump(DWORD ms = 100) {
    int tasks = 0;
    const DWORD end = ::GetTickCount() + ms;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == TavroLib::kTaskMessage)
                ++tasks;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
    return tasks;
}

class ProgressWindowFigures : public testing::Test {
  protected:
    void SetUp() override { SetUpToolkit(::GetModuleHandleW(nullptr)); }
    void Open(int64_t apkSize) {
        HttpInstallInfo::Instance()->apkSize = apkSize;
        ASSERT_TRUE(window.CreateInstallerWindow());
        ::ShowWindow(window.GetHandle(), SW_SHOWNORMAL);
        Pump();
    }
    void TearDown() override {
        if (::IsWindow(window.GetHandle()))
            ::DestroyWindow(window.GetHandle());
        HttpInstallInfo::Instance()->apkSize = 0;
    }
    IdleProcessWnd window;
};

TEST_F(ProgressWindowFigures, TotalTextAndHalfWay) {
    Open(89128960);
    EXPECT_EQ(window.starts, 1);
    EXPECT_EQ(window.TotalMB(), 85);
    EXPECT_EQ(Text(window, L"TotalNumLabel"), L"  /85M");
    EXPECT_TRUE(window.SetProgress(89128960, 44564480));
    EXPECT_EQ(CProcessWnd::LastPercent(), 50);
    EXPECT_EQ(Bar(window), 50);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"42M  ");
}

TEST_F(ProgressWindowFigures, SamePercentRedrawsNothing) {
    Open(100 * 1048576LL);
    window.SetProgress(1000, 310);
    ASSERT_EQ(CProcessWnd::LastPercent(), 31);
    window.FindControl(L"CurDownNumLabel")->SetText(L"mark");
    window.SetProgress(1000, 319);  // still 31 %
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"mark");
    // 100 x 0.32f is 32 in single precision (31.99999928 in x87's wider registers).
    window.SetProgress(1000, 320);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"32M  ");
    EXPECT_EQ(Bar(window), 32);
    // Back to 0 % (the extraction starts again) is a change.
    window.SetProgress(100, 0);
    EXPECT_EQ(CProcessWnd::LastPercent(), 0);
    EXPECT_EQ(Bar(window), 0);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"0M  ");
}

TEST_F(ProgressWindowFigures, PackagesOfTwoGibibytesAndMore) {
    const int64_t size = 5LL * 1024 * 1048576;  // 5 GiB: its low 32 bits are 1 GiB
    Open(size);
    EXPECT_EQ(Text(window, L"TotalNumLabel"), L"  /5120M");
    window.SetProgress(size, size / 2);
    EXPECT_EQ(Bar(window), 50);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"2560M  ");
    const int64_t big = 3LL * 1024 * 1048576 - 1;  // negative as a 32-bit value
    window.SetProgress(big, big / 4);              // 24.99999997 %, 25 in single precision
    EXPECT_EQ(Bar(window), 25);
    window.SetProgress(size, size);
    EXPECT_EQ(Bar(window), 100);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"5120M  ");
}

TEST_F(ProgressWindowFigures, SmallEmptyAndNonsenseCounts) {
    Open(512 * 1024);
    EXPECT_EQ(Text(window, L"TotalNumLabel"), L"  /0M");
    window.SetProgress(512 * 1024, 256 * 1024);
    EXPECT_EQ(Bar(window), 50);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"0M  ");
    window.SetProgress(0, 1);  // no total counts as 1
    EXPECT_EQ(CProcessWnd::LastPercent(), 100);
    window.SetProgress(10, 50);  // beyond the bar: the bar stays
    EXPECT_EQ(CProcessWnd::LastPercent(), 500);
    EXPECT_EQ(Bar(window), 100);
    window.SetProgress(-5, -7);
    EXPECT_EQ(CProcessWnd::LastPercent(), 0);
    EXPECT_EQ(Bar(window), 0);
}

TEST_F(ProgressWindowFigures, NegativeSizeShowsNoTotal) {
    Open(-1);
    EXPECT_EQ(Text(window, L"TotalNumLabel"), L"  /0M");
}

TEST_F(ProgressWindowFigures, ExtractionMessageIsPostedAsATask) {
    Open(10 * 1048576);
    window.SetProgress(100, 100);
    // Sent from another thread as the extraction does; this thread answers it.
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        result = ::SendMessageW(window.GetHandle(), WM_INSTALL_PROGRESS, 37, 0);
        sent = true;
    });
    while (!sent)
        Pump(20);
    sender.join();
    EXPECT_EQ(result.load(), 0);
    Pump();
    EXPECT_EQ(Bar(window), 37);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"3M  ");
    // Not handled by the window: the message is the custom hook's alone.
    bool handled = false;
    EXPECT_EQ(window.HandleCustomMessage(WM_INSTALL_PROGRESS, 80, 0, handled), 0);
    EXPECT_FALSE(handled);
    EXPECT_EQ(Bar(window), 37) << "the bar moves only when the task runs";
    Pump();
    EXPECT_EQ(Bar(window), 80);
}

TEST_F(ProgressWindowFigures, DownloadProgressPostsOnlyChanges) {
    Open(10 * 1048576);
    window.SetProgress(100, 0);
    const uint64_t total = 10 * 1048576;
    for (uint64_t got = 4096; got <= total; got += 4096)
        window.OnDownloadProgress(got, total);
    const int tasks = Pump(300);
    EXPECT_LE(tasks, 101);
    EXPECT_GE(tasks, 99);
    EXPECT_EQ(Bar(window), 100);
    EXPECT_EQ(Text(window, L"CurDownNumLabel"), L"10M  ");
}

TEST_F(ProgressWindowFigures, TasksToAClosingWindowAreDropped) {
    Open(10 * 1048576);
    window.SetProgress(100, 0);
    window.Close(1);
    EXPECT_FALSE(window.PostUITask([](TavroLib::CWindowWnd*) {}, "x"));
    window.OnDownloadProgress(50, 100);
    Pump();
    EXPECT_EQ(Bar(window), 0);
}

// The window is destroyed while its worker sends to it: the final message
// answers the worker's messages while it waits, so neither thread hangs.
TEST(ProgressWindowWorker, DestroyedWhileTheWorkerSendsDoesNotHang) {
    SetUpToolkit(::GetModuleHandleW(nullptr));
    SendingProcessWnd window;
    ASSERT_TRUE(window.CreateInstallerWindow());
    ASSERT_TRUE(vorn::gui::WaitFor(
        [&] {
            Pump(20);
            return window.answered.load() > 5;
        },
        10000));
    const DWORD start = ::GetTickCount();
    ::DestroyWindow(window.GetHandle());  // ends in OnFinalMessage, which joins the worker
    EXPECT_LT(::GetTickCount() - start, 10000u);
    EXPECT_FALSE(::IsWindow(window.GetHandle()));
}

// Screenshots: the bar half way while downloading, and while unpacking.
TEST_F(ProgressWindowFigures, Screenshots) {
    Open(89128960);
    window.SetProgress(89128960, 37435162);  // 42 %
    Pump(800);
    vorn::gui::Capture shot;
    ASSERT_TRUE(vorn::gui::CaptureWindow(window.GetHandle(), shot));
    EXPECT_TRUE(shot.SavePng(vorn::test::WideArg("out") + L"\\ProgressWnd-download.png"));
    // Filled part of the bar (71..729 at y 430..436) differs from the empty part.
    const uint32_t filled = shot.At(71 + 658 * 20 / 100, 433);
    const uint32_t empty = shot.At(71 + 658 * 70 / 100, 433);
    EXPECT_FALSE(vorn::gui::ColourNear(filled, empty, 8)) << std::hex << filled << " " << empty;
    EXPECT_TRUE(vorn::gui::ColourNear(empty, 0x161233, 24)) << std::hex << empty;

    window.FindControl(L"Down")->SetText(L"解压中...");
    window.SetProgress(100, 75);
    Pump(800);
    ASSERT_TRUE(vorn::gui::CaptureWindow(window.GetHandle(), shot));
    EXPECT_TRUE(shot.SavePng(vorn::test::WideArg("out") + L"\\ProgressWnd-unpack.png"));
    EXPECT_FALSE(vorn::gui::ColourNear(shot.At(71 + 658 * 70 / 100, 433), 0x161233, 24));
}

// The worker against vorn-services.
class ProgressWindow : public vorn::test::InstallerWindowTest {
  protected:
    void SetUp() override {
        InstallerWindowTest::SetUp();
        SetUpToolkit(::GetModuleHandleW(nullptr));
        context->installDir = install.Path();
        context->rcWindow = RECT{37, 41, 837, 541};
        info->downloadUrl = L"https://" VORN_TEST_DOWNLOAD_HOST L"/pkg/velto/client.7z";
        info->clientVersion = L"3.1.4";
    }
    void TearDown() override {
        for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOP})
            ::DeleteFileW(ShortcutPath(csidl).c_str());
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        InstallerWindowTest::TearDown();
    }
    // Serves bytes as the package and announces them (or the crc given).
    void Serve(const std::string& bytes, int64_t crc = -1) {
        ASSERT_TRUE(vorn::test::Services::Write(L"files\\pkg\\velto\\client.7z", bytes));
        info->apkSize = static_cast<int64_t>(bytes.size());
        info->crc =
            crc >= 0 ? crc
                     : vorn::FileCrc32(vorn::test::Services::File(L"files\\pkg\\velto\\client.7z"));
    }
    // The window sequence's progress step, on a thread of its own.
    void Start() {
        run = std::thread([this] {
            const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            CProcessWnd* w = CProcessWnd::Instance();
            if (w->CreateInstallerWindow()) {
                w->PlaceAt(CUIHelp::Instance()->rcWindow);
                code = static_cast<int>(w->ShowModal());
            }
            CProcessWnd::ReleaseInstance();
            if (SUCCEEDED(com))
                ::CoUninitialize();
            done = true;
        });
    }
    bool WaitDone(DWORD ms) {
        return vorn::gui::WaitFor([this] { return done.load(); }, ms);
    }
    // Alt+F4 as a user presses it, again when a busy machine lost the first
    // press in the window's activation; true once the run has ended.
    bool CloseByKeys(HWND window) {
        for (int i = 0; i < 3; ++i) {
            if (::IsWindow(window) && !vorn::gui::Key(window, L"alt+f4"))
                continue;
            if (WaitDone(5000))
                return true;
        }
        return WaitDone(5000);
    }
    void Join() {
        for (int i = 0; i < 300 && !done; ++i) {
            for (const wchar_t* name : {L"MessageInfoBoxUI", L"CompleteWndUI", L"ProcessWndUI"}) {
                if (HWND h = vorn::gui::FindWindowByClass(name))
                    ::PostMessageW(h, WM_CLOSE, 8, 0);
            }
            ::Sleep(100);
        }
        if (run.joinable())
            run.join();
    }
    ~ProgressWindow() override { Join(); }

    CUIHelp* context = CUIHelp::Instance();
    HttpInstallInfo* info = HttpInstallInfo::Instance();
    std::thread run;
    std::atomic<bool> done{false};
    std::atomic<int> code{-1};
};

TEST_F(ProgressWindow, CrcMismatchReportsShowsTheMessageAndLeavesTheWindow) {
    const std::string bytes = "velto client package";
    Serve(bytes, 12345);
    Start();
    HWND progress = vorn::gui::WaitWindow(L"ProcessWndUI", 10000);
    ASSERT_NE(progress, nullptr);
    RECT rc{};
    ::GetWindowRect(progress, &rc);
    EXPECT_EQ(rc.left, 37);
    EXPECT_EQ(rc.top, 41);
    HWND box = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCrcFailed}) << "reported before the message";
    ASSERT_TRUE(vorn::gui::Click(box, kBoxOk.x, kBoxOk.y));
    ASSERT_TRUE(vorn::gui::WaitWindowGone(box, 10000));
    ::Sleep(500);
    EXPECT_TRUE(::IsWindow(progress)) << "the window stays after a failure";
    EXPECT_FALSE(done.load());
    EXPECT_EQ(vorn::test::ReadBytes(install.File(L"tmpClient")), bytes) << "the package remains";
    EXPECT_EQ(vorn::gui::FindWindowByClass(L"CompleteWndUI"), nullptr);
    // Closing it ends the run, without any further report.
    ASSERT_TRUE(CloseByKeys(progress));
    EXPECT_EQ(code.load(), 0);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCrcFailed});
    EXPECT_TRUE(ClientStarts().empty());
}

TEST_F(ProgressWindow, OldPackageFolderIsClearedAndAWrongFileFailsTheCrc) {
    ASSERT_TRUE(::CreateDirectoryW(install.File(L"tmpClient").c_str(), nullptr));
    ASSERT_TRUE(vorn::test::WriteBytes(install.File(L"tmpClient\\old.txt"), "old"));
    Serve("velto client package", 0x7FFFFFFFFFFFLL);  // beyond 32 bits: never matches
    Start();
    HWND box = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kCrcFailed});
    EXPECT_TRUE(vorn::IsRegularFile(install.File(L"tmpClient")));
    ASSERT_TRUE(vorn::gui::Click(box, kBoxOk.x, kBoxOk.y));
    HWND progress = vorn::gui::FindWindowByClass(L"ProcessWndUI");
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(CloseByKeys(progress));
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM found) {
    wchar_t cls[16] = {};
    ::GetClassNameW(child, cls, 16);
    if (_wcsicmp(cls, L"Static") != 0 || (::GetWindowLongW(child, GWL_STYLE) & 0x1F) != SS_ICON)
        return TRUE;
    *reinterpret_cast<HICON*>(found) =
        reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    return FALSE;
}

// The icon a message box shows: its static control of the icon style.
HICON BoxIcon(HWND box) {
    HICON icon = nullptr;
    ::EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&icon));
    return icon;
}

// A package file that cannot be opened: the download wrapper's error box
// (caption "错误", no owner, the error icon), then the failure's report and
// message; over HTTPS for an https:// address, over HTTP for one without.
TEST_F(ProgressWindow, PackageThatCannotBeWrittenShowsTheErrorBoxAndFails) {
    struct Case {
        const wchar_t* url;
        ReportEvent report;
        const wchar_t* message;
    } const cases[] = {
        {L"https://" VORN_TEST_DOWNLOAD_HOST L"/pkg/velto/client.7z",
         {4, 0, 0, "https to down failed"},
         L"https下载客户端失败，请重新打开安装程序"},
        {VORN_TEST_DOWNLOAD_HOST L"/pkg/velto/client.7z",
         {4, 0, 0, "http to down failed"},
         L"http下载客户端失败，请重新打开安装程序"},
    };
    std::vector<ReportEvent> reports;
    for (const Case& c : cases) {
        SCOPED_TRACE(vorn::WideToUtf8(c.url));
        Serve("velto client package");
        info->downloadUrl = c.url;
        // Held open without sharing, as another program might: it can be
        // neither removed nor opened for writing.
        vorn::UniqueHandle held(::CreateFileW(install.File(L"tmpClient").c_str(), GENERIC_READ, 0,
                                              nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(held);
        done = false;
        Start();
        HWND error = vorn::gui::WaitWindow(L"#32770", 30000);
        ASSERT_NE(error, nullptr);
        wchar_t caption[64] = {};
        ::GetWindowTextW(error, caption, 64);
        EXPECT_STREQ(caption, L"错误");
        EXPECT_EQ(::GetWindow(error, GW_OWNER), nullptr);
        EXPECT_EQ(BoxIcon(error), ::LoadIconW(nullptr, IDI_ERROR));
        EXPECT_EQ(NewReports(), reports) << "the box comes before the report";
        ::PostMessageW(error, WM_COMMAND, IDOK, 0);
        HWND box = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 30000);
        ASSERT_NE(box, nullptr);
        auto* shownBox =
            reinterpret_cast<TavroLib::WindowImplBase*>(::GetWindowLongPtrW(box, GWLP_USERDATA));
        ASSERT_NE(shownBox, nullptr);
        EXPECT_EQ(shownBox->FindControl(L"label")->GetText(), c.message);
        reports.push_back(c.report);
        EXPECT_EQ(NewReports(), reports);
        ASSERT_TRUE(vorn::gui::Click(box, kBoxOk.x, kBoxOk.y));
        ASSERT_TRUE(vorn::gui::WaitWindowGone(box, 10000));
        HWND progress = vorn::gui::FindWindowByClass(L"ProcessWndUI");
        ASSERT_NE(progress, nullptr);
        ::PostMessageW(progress, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitDone(15000));
        run.join();
        EXPECT_TRUE(ClientStarts().empty());
    }
}

TEST_F(ProgressWindow, PackageThatCannotBeUnpackedStartsNothing) {
    PlaceClient();
    Serve("velto client package, not a 7z archive");  // the right crc
    Start();
    HWND box = vorn::gui::WaitWindow(L"MessageInfoBoxUI", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kExtractFailed});
    ASSERT_TRUE(vorn::gui::Click(box, kBoxOk.x, kBoxOk.y));
    ASSERT_TRUE(vorn::gui::WaitWindowGone(box, 10000));
    ::Sleep(500);
    HWND progress = vorn::gui::FindWindowByClass(L"ProcessWndUI");
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(::IsWindowVisible(progress));
    EXPECT_EQ(vorn::gui::FindWindowByClass(L"CompleteWndUI"), nullptr);
    ASSERT_TRUE(CloseByKeys(progress));
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kExtractFailed});
    EXPECT_TRUE(ClientStarts().empty());
    EXPECT_FALSE(vorn::IsRegularFile(ShortcutPath(CSIDL_DESKTOP)));
    HKEY key = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, vorn::test::kProductKey, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key)
        ::RegCloseKey(key);
}

TEST_F(ProgressWindow, WholeInstallationOfABuiltPackage) {
    const std::string package = vorn::test::ReadBytes(vorn::test::WideArg("package"));
    ASSERT_FALSE(package.empty()) << "--package=<testclient.7z> missing";
    Serve(package);
    Start();
    HWND progress = vorn::gui::WaitWindow(L"ProcessWndUI", 10000);
    ASSERT_NE(progress, nullptr);
    // The user moves the progress window: the completion window still opens at rcWindow.
    ::SetWindowPos(progress, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND complete = vorn::gui::WaitWindow(L"CompleteWndUI", 60000);
    ASSERT_NE(complete, nullptr);
    RECT rc{};
    ::GetWindowRect(complete, &rc);
    EXPECT_EQ(rc.left, 37);
    EXPECT_EQ(rc.top, 41);
    EXPECT_FALSE(::IsWindowVisible(progress)) << "hidden behind the completion window";
    EXPECT_EQ(::GetWindow(complete, GW_OWNER), progress);
    EXPECT_FALSE(::IsWindowEnabled(progress));
    // Unpacked, registered, the package gone, the channel file there.
    EXPECT_TRUE(vorn::IsRegularFile(install.File(L"vorn.exe")));
    EXPECT_TRUE(vorn::IsRegularFile(install.File(L"Uninstaller.exe")));
    EXPECT_TRUE(vorn::IsRegularFile(install.File(L"bin\\data\\x.dat")));
    EXPECT_FALSE(vorn::IsRegularFile(install.File(L"tmpClient")));
    EXPECT_TRUE(vorn::IsRegularFile(install.File(L"ZizUdir.dat")));
    EXPECT_TRUE(vorn::IsRegularFile(ShortcutPath(CSIDL_DESKTOP)));
    wchar_t version[64] = {};
    DWORD bytes = sizeof(version);
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, vorn::test::kProductKey, L"Version", RRF_RT_REG_SZ,
                             nullptr, version, &bytes),
              ERROR_SUCCESS);
    EXPECT_STREQ(version, L"3.1.4");
    EXPECT_TRUE(NewReports().empty());
    EXPECT_TRUE(ClientStarts().empty()) << "the client starts after the completion window";

    vorn::gui::Capture shot;
    if (vorn::gui::CaptureWindow(complete, shot))
        shot.SavePng(vorn::test::WideArg("out") + L"\\CompleteWnd-installed.png");
    ASSERT_TRUE(vorn::gui::Click(complete, kStart.x, kStart.y));
    ASSERT_TRUE(WaitDone(30000));
    EXPECT_EQ(code.load(), 1);
    EXPECT_EQ(NewReports(), (std::vector<ReportEvent>{kSuccess, kStarted}));
    ASSERT_TRUE(vorn::gui::WaitFor([this] { return ClientStarts().size() == 1; }, 10000));
}

TEST_F(ProgressWindow, EscapeOnTheCompletionWindowStillStartsTheClient) {
    Serve(vorn::test::ReadBytes(vorn::test::WideArg("package")));
    Start();
    HWND complete = vorn::gui::WaitWindow(L"CompleteWndUI", 60000);
    ASSERT_NE(complete, nullptr);
    ASSERT_TRUE(vorn::gui::Key(complete, L"esc"));
    ASSERT_TRUE(WaitDone(30000));
    EXPECT_EQ(code.load(), 1);
    EXPECT_EQ(NewReports(), std::vector<ReportEvent>{kStarted});
    ASSERT_TRUE(vorn::gui::WaitFor([this] { return ClientStarts().size() == 1; }, 10000));
}

}  // namespace
