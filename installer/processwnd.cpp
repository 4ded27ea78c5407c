#define VORN_LOG_SOURCE L"installer\\installer\\processwnd"
#include "installer/processwnd.h"

#include <shellapi.h>

#include <climits>
#include <cwchar>
#include <memory>
#include <system_error>

#include "installer/archiveextractor.h"
#include "installer/completewnd.h"
#include "installer/httpinstallinfo.h"
#include "installer/installdir.h"
#include "installer/installerreportdata.h"
#include "installer/installsteps.h"
#include "installer/messageinfobox.h"
#include "installer/progressmath.h"
#include "installer/uihelp.h"
#include "util/logger.h"
#include "util/string_util.h"
#include "util/win_handle.h"

int CProcessWnd::s_lastPercent = 0;

namespace {

const char kTaskName[] = "SetProcessValue";
constexpr DWORD kStatusWaitMs = 5000;

// A task that runs SetProgress on the window's thread.
void PostProgress(CProcessWnd* window, int64_t total, int64_t current) {
    window->PostUITask(
        [total, current](TavroLib::CWindowWnd* w) {
            static_cast<CProcessWnd*>(w)->SetProgress(total, current);
        },
        kTaskName);
}

int64_t ClampToCount(uint64_t value) {
    return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

}  // namespace

CProcessWnd::~CProcessWnd() {
    // A window that never ran its final message still must not leave the worker.
    if (m_worker.joinable())
        m_worker.join();
}

const wchar_t* CProcessWnd::GetWindowClassName() const {
    return L"ProcessWndUI";
}

void CProcessWnd::OnFinalMessage(HWND /*hWnd*/) {
    if (!m_worker.joinable())
        return;
    // The worker may be inside SendMessageW to this thread (extraction
    // progress, hiding, the completion window's owner): answer sent messages
    // while waiting, or both threads would wait for each other.
    HANDLE done = m_workerDone.Get();
    while (done != nullptr && ::MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE,
                                                          QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_worker.join();
}

std::wstring CProcessWnd::GetSkinFile() {
    return L"ProcessWnd.xml";
}

LRESULT CProcessWnd::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

bool CProcessWnd::StartThread(std::thread& thread, std::function<void()> body) {
    try {
        thread = std::thread(std::move(body));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void CProcessWnd::InitWindow() {
    const int64_t apkSize = HttpInstallInfo::Instance()->apkSize;
    m_totalMB = apkSize > 0 ? WholeMegabytes(static_cast<uint64_t>(apkSize)) : 0;
    if (TavroLib::CControlUI* total = FindControl(L"TotalNumLabel"))
        total->SetText(L"  /" + std::to_wstring(m_totalMB) + L"M");
    m_workerWindow = m_hWnd;
    m_workerDone.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE done = m_workerDone.Get();
    if (!StartThread(m_worker, [this, done] {
            InstallWorker();
            if (done != nullptr)
                ::SetEvent(done);
        }))
        LOG_ERROR(L" Start install worker Failed ");
}

LRESULT CProcessWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/,
                                         bool& /*bHandled*/) {
    if (uMsg == WM_INSTALL_PROGRESS)
        PostProgress(this, 100, static_cast<int64_t>(wParam));
    return 0;
}

void CProcessWnd::OnDownloadProgress(uint64_t received, uint64_t total) {
    wchar_t line[512] = {};
    std::swprintf(line, 512, L"-----DOWN: %lld of %lld \r\n", static_cast<long long>(received),
                  static_cast<long long>(total));
    ::OutputDebugStringW(line);
    // Only what changes the bar or the counter is posted, so the queue never floods.
    if (m_gate.Pass(received, total))
        PostProgress(this, ClampToCount(total), ClampToCount(received));
}

void CProcessWnd::OnDownloadError(const std::wstring& text) {
    vorn::ShowDownloadErrorBox(text);
}

bool CProcessWnd::SetProgress(int64_t total, int64_t current) {
    // Negative counts are no progress at all.
    const uint64_t t = total > 0 ? static_cast<uint64_t>(total) : 0;
    const uint64_t c = current > 0 ? static_cast<uint64_t>(current) : 0;
    const float share = vorn::ProgressShare(c, t);
    const int percent = vorn::WholePercent(share);
    if (percent == s_lastPercent)
        return true;
    s_lastPercent = percent;
    if (auto* bar = dynamic_cast<TavroLib::CProgressUI*>(FindControl(L"process")))
        bar->SetValue(percent);
    if (TavroLib::CControlUI* label = FindControl(L"CurDownNumLabel"))
        label->SetText(std::to_wstring(MegabytesDone(m_totalMB, share)) + L"M  ");
    return true;
}

void CProcessWnd::ShowStatus(const wchar_t* text) {
    // Shared with the task, which may run after the wait has given up.
    auto shown =
        std::make_shared<vorn::UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const std::wstring status = text;
    const bool posted = PostUITask(
        [status, shown](TavroLib::CWindowWnd* w) {
            auto* self = static_cast<CProcessWnd*>(w);
            if (TavroLib::CControlUI* down = self->FindControl(L"Down"))
                down->SetText(status);
            ::UpdateWindow(self->GetHandle());
            if (shown->Get() != nullptr)
                ::SetEvent(shown->Get());
        },
        "SetStatus");
    // A closing window never runs the task; the wait is bounded for that case.
    if (posted && shown->Get() != nullptr)
        ::WaitForSingleObject(shown->Get(), kStatusWaitMs);
}

void CProcessWnd::Fail(const char* event, const wchar_t* message) {
    CInstallerReportData::Instance()->ReportData(4, 0, 0, event);
    MessageInfoBox::ShowMessage(message);
}

bool CProcessWnd::DownloadPackage(const std::wstring& package) {
    const std::string url = vorn::WideToAnsi(HttpInstallInfo::Instance()->downloadUrl);
    std::string host, path;
    if (vorn::SplitUrl(url, host, path)) {
        if (vorn::httplib_down_muti(host, path, package, *this) != vorn::kDownloadDone) {
            LOG_ERROR(L" Download package over https Failed ");
            Fail("https to down failed", L"https下载客户端失败，请重新打开安装程序");
            return false;
        }
    } else if (vorn::DownloadHttp(std::string(), std::string(), package, *this) !=
               vorn::kDownloadDone) {
        LOG_ERROR(L" Download package over http Failed ");
        Fail("http to down failed", L"http下载客户端失败，请重新打开安装程序");
        return false;
    }
    const uint32_t crc = vorn::FileCrc32(package);
    const int64_t expected = HttpInstallInfo::Instance()->crc;
    if (expected != static_cast<int64_t>(crc)) {
        LOG_ERROR(L" Check package crc Failed: %u ", crc);
        Fail("check crc failed", L"Client校验crc失败");
        return false;
    }
    return true;
}

void CProcessWnd::InstallWorker() {
    ::Sleep(500);
    CUIHelp* context = CUIHelp::Instance();
    const std::wstring installDir = context->installDir;
    PrepareInstallDir(installDir);
    const std::wstring package = PackagePath(installDir);
    ClearPackagePath(package);
    if (!DownloadPackage(package))
        return;
    InstallPackage(package, installDir);
}

void CProcessWnd::InstallPackage(const std::wstring& package, const std::wstring& installDir) {
    ShowStatus(L"解压中...");
    if (!RunInstallationSteps(package, installDir, m_workerWindow)) {
        // A package that cannot be unpacked is no installation: nothing is started.
        Fail(kExtractFailedEvent, kExtractFailedMessage);
        return;
    }
    HWND window = m_workerWindow;
    if (::IsWindow(window))
        ::ShowWindow(window, SW_HIDE);

    CUIHelp* context = CUIHelp::Instance();
    CompleteWnd* complete = CompleteWnd::Instance();
    if (complete->CreateInstallerWindow(::IsWindow(window) ? window : nullptr)) {
        complete->PlaceAt(context->rcWindow);
        complete->ShowModal();
    }
    CompleteWnd::ReleaseInstance();

    const std::wstring client = context->installDir + context->exeName;
    ::ShellExecuteW(nullptr, L"open", client.c_str(), nullptr, nullptr, SW_SHOW);
    Close(IDOK);
    CInstallerReportData::Instance()->ReportData(4, 1, 7, "start client");
}
