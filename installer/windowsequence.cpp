#define VORN_LOG_SOURCE L"installer\\installer\\windowsequence"
#include "installer/windowsequence.h"

#include <objbase.h>

#include <string>

#include "installer/checkwnd.h"
#include "installer/installerreportdata.h"
#include "installer/installwnd.h"
#include "installer/startupdatewnd.h"
#include "installer/uihelp.h"
#include "installer/vxmessagebox.h"
#include "ui/toolkit.h"
#include "util/logger.h"

namespace {

#define SEQUENCE_LOG(level, function, format, ...) \
    ::vorn::Logger::Write(level, VORN_LOG_SOURCE, __LINE__, function, format, ##__VA_ARGS__)

bool UserGaveUp(UINT code) {
    return code == IDCLOSE || code == 0;
}

// The network fallback: the green package in the browser, then the failure report.
void RunFallbackCourse() {
    VXMessageBox box;
    box.ShowCentred();
    CInstallerReportData::Instance()->ReportData(1, 0, 1, "check environment  failed");
}

// Created, given its icon and placed where the last window recorded its place.
bool CreateAtRecordedPlace(CInstallerWindow& window) {
    if (!window.CreateInstallerWindow())
        return false;
    window.PlaceAt(CUIHelp::Instance()->rcWindow);
    return true;
}

// Download and installation follow in the progress window, which this
// installer does not have yet: the run ends here.
void RunProgressCourse(const wchar_t* from) {
    SEQUENCE_LOG(vorn::LOG_INFO, "RunCourse",
                 L" %s closed to install: no progress window yet, run ends ", from);
}

}  // namespace

void SetUpToolkit(HINSTANCE instance) {
    TavroLib::CPaintManagerUI::SetModule(instance);
    TavroLib::CShadowUI::RegisterWindowClass(instance);
    // Nothing is read from it: every window names the skin archive resource.
    const std::wstring folder = TavroLib::CPaintManagerUI::GetModuleFolder() + L"\\skin";
    TavroLib::CPaintManagerUI::SetResourceFolder(folder.c_str());
}

void RunCourse() {
    const int32_t checkType = CUIHelp::Instance()->checkType;
    switch (checkType) {
        case CHECK_REQUEST_FAILED:
        case CHECK_PACKAGE_EMPTY:
            RunFallbackCourse();
            break;
        case CHECK_NEED_INSTALL: {
            CInstallWnd page;
            const UINT code = CreateAtRecordedPlace(page) ? page.ShowModal() : 0;
            if (UserGaveUp(code)) {
                CInstallerReportData::Instance()->ReportData(5, 1, 8, "Install Cancel");
                break;
            }
            RunProgressCourse(L"install page");
            break;
        }
        case 2:
        case CHECK_INSTALLED:
        case 4:
        case 5: {
            CStartUpdateWnd start;
            const UINT code = CreateAtRecordedPlace(start) ? start.ShowModal() : 0;
            if (!UserGaveUp(code))
                RunProgressCourse(L"start/update window");
            break;
        }
        default:
            SEQUENCE_LOG(vorn::LOG_ERROR, "RunCourse", L" unknown check outcome %d ", checkType);
            break;
    }
}

void RunWindows(const char* commandLine) {
    CInstallerReportData::Instance();
    CUIHelp* context = CUIHelp::Instance();

    CCheckWnd check(commandLine != nullptr ? commandLine : "");
    if (!check.CreateInstallerWindow()) {
        // No check can run without its window: go on as if the server gave nothing.
        SEQUENCE_LOG(vorn::LOG_ERROR, "RunWindows", L" check window not created ");
        context->checkType = CHECK_REQUEST_FAILED;
        RunFallbackCourse();
        return;
    }
    check.CenterWindow();
    check.ShowModal();
    RunCourse();
}

void RunWindowSequence(HINSTANCE instance, const char* commandLine) {
    SetUpToolkit(instance);
    RunWindows(commandLine);
    ::CoUninitialize();
}
