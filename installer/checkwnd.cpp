#define VORN_LOG_SOURCE L"installer\\installer\\checkwnd"
#include "installer/checkwnd.h"

#include <chrono>
#include <exception>
#include <memory>
#include <system_error>

#include "installer/httpinstallinfo.h"
#include "installer/installerreportdata.h"
#include "installer/machineidentity.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/string_util.h"

namespace {

const wchar_t kProductKey[] = L"Software\\Corlanth\\Vorn";

#define CHECK_ERROR(function, format, ...)                                                \
    ::vorn::Logger::Write(::vorn::LOG_ERROR, VORN_LOG_SOURCE, __LINE__, function, format, \
                          ##__VA_ARGS__)

}  // namespace

CCheckWnd::CCheckWnd(std::string commandLine) : m_commandLine(std::move(commandLine)) {}

CCheckWnd::~CCheckWnd() {
    // Normally all joined by now; a window destroyed some other way (or never
    // shown) still must not leave a running thread behind.
    if (m_finishThread.joinable())
        m_finishThread.join();
    for (std::thread& t : m_checkThreads) {
        if (t.joinable())
            t.join();
    }
}

const wchar_t* CCheckWnd::GetWindowClassName() const {
    return L"CheckWndUI";
}

void CCheckWnd::OnFinalMessage(HWND /*hWnd*/) {
    if (m_finishThread.joinable())
        m_finishThread.join();
}

std::wstring CCheckWnd::GetSkinFile() {
    return L"CheckWnd.xml";
}

LRESULT CCheckWnd::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

LRESULT CCheckWnd::OnClose(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& bHandled) {
    bHandled = !m_checkDone.load();
    return 0;
}

bool CCheckWnd::StartThread(std::thread& thread, std::function<void()> body) {
    try {
        thread = std::thread(std::move(body));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void CCheckWnd::InitWindow() {
    const char* const kFunction = "CCheckWnd::InitWindow";
    // Shared, so that a thread that cannot be started leaves them here.
    auto promise = std::make_shared<std::promise<_CHECKTYPE>>();
    auto future = std::make_shared<std::future<_CHECKTYPE>>(promise->get_future());
    m_checkThreads.reserve(2);

    std::thread worker;
    if (StartThread(worker, [this, promise] { CheckRegedit(*promise); })) {
        m_checkThreads.push_back(std::move(worker));
    } else {
        // No check can run: the server gave nothing as far as the run knows.
        CHECK_ERROR(kFunction, L" check thread not started ");
        promise->set_value(CHECK_REQUEST_FAILED);
    }

    std::thread timer;
    if (StartThread(timer, [this] { WaitMinimumTime(); })) {
        m_checkThreads.push_back(std::move(timer));
    } else {
        // The window then closes as soon as the check is done.
        CHECK_ERROR(kFunction, L" minimum time thread not started ");
    }

    if (!StartThread(m_finishThread, [this, future] { FinishCheck(std::move(*future)); })) {
        // Nobody else would close the window: finish here, before it is shown.
        CHECK_ERROR(kFunction, L" finish thread not started ");
        FinishCheck(std::move(*future));
    }
}

bool CCheckWnd::RequestInstallInfo() {
    return HttpInstallInfo::Instance()->RequestInstallInfo();
}

void CCheckWnd::CheckRegedit(std::promise<_CHECKTYPE>& promise) {
    _CHECKTYPE outcome = CHECK_REQUEST_FAILED;
    try {
        outcome = ProbeInstallation();
    } catch (const std::exception& e) {
        CHECK_ERROR("CCheckWnd::CheckRegedit", L" check failed [%s] ",
                    vorn::AnsiToWide(e.what()).c_str());
        outcome = CHECK_REQUEST_FAILED;
    } catch (...) {
        CHECK_ERROR("CCheckWnd::CheckRegedit", L" check failed ");
        outcome = CHECK_REQUEST_FAILED;
    }
    try {
        promise.set_value(outcome);
    } catch (const std::future_error&) {
        // Already set: the outcome is delivered once.
    }
}

_CHECKTYPE CCheckWnd::ProbeInstallation() {
    const char* const kFunction = "CCheckWnd::CheckRegedit";
    CInstallerReportData::Instance()->ReportData(1, 1, 1, "check  environment");
    if (!RequestInstallInfo()) {
        CHECK_ERROR(kFunction, L" Get /pc/UpdateRequest Failed ");
        return CHECK_REQUEST_FAILED;
    }
    if (HttpInstallInfo::Instance()->apkSize == 0) {
        CHECK_ERROR(kFunction, L" Get /pc/UpdateRequest dwSize 0 ");
        return CHECK_PACKAGE_EMPTY;
    }
    CUIHelp* context = CUIHelp::Instance();
    std::wstring value;
    if (!vorn::ReadRegistryString(kProductKey, L"installDir", value))
        return CHECK_NEED_INSTALL;
    context->installDir = value;
    if (!vorn::ReadRegistryString(kProductKey, L"Start", value))
        return CHECK_NEED_INSTALL;
    context->exeName = value;
    if (!vorn::ReadRegistryString(kProductKey, L"Version", value))
        return CHECK_NEED_INSTALL;
    const std::wstring client = vorn::PathJoin(context->installDir, context->exeName);
    return vorn::IsRegularFile(client) ? CHECK_INSTALLED : CHECK_NEED_INSTALL;
}

void CCheckWnd::WaitMinimumTime() {
    std::this_thread::sleep_for(std::chrono::milliseconds(MinimumTimeMs()));
}

void CCheckWnd::FinishCheck(std::future<_CHECKTYPE> future) {
    for (std::thread& t : m_checkThreads) {
        if (t.joinable())
            t.join();
    }
    CUIHelp* context = CUIHelp::Instance();
    RECT rc{};
    if (m_hWnd != nullptr && ::GetWindowRect(m_hWnd, &rc))
        context->rcWindow = rc;
    _CHECKTYPE outcome = CHECK_REQUEST_FAILED;
    try {
        outcome = future.get();
    } catch (const std::exception&) {
        // A worker that ended without a value: the run goes on as after a failed request.
        CHECK_ERROR("CCheckWnd::FinishCheck", L" check ended without outcome ");
    }
    context->checkType = outcome;
    m_checkDone.store(true);
    Close(IDOK);
}
