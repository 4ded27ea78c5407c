#include "installer/startupdatewnd.h"

#include <shellapi.h>

#include "installer/channelfile.h"
#include "installer/installerreportdata.h"
#include "installer/uihelp.h"
#include "util/path_util.h"

const wchar_t* CStartUpdateWnd::GetWindowClassName() const {
    return L"StartUpdateWndUI";
}

void CStartUpdateWnd::InitWindow() {
    TavroLib::CControlUI* start = FindControl(L"start");
    if (start == nullptr)
        return;
    start->OnNotify += TavroLib::MakeDelegate(this, &CStartUpdateWnd::OnStartClick);
    start->OnNotify += TavroLib::MakeDelegate(this, &CStartUpdateWnd::RecordWindowRect);
}

std::wstring CStartUpdateWnd::GetSkinFile() {
    return L"StartUpdateWnd.xml";
}

LRESULT CStartUpdateWnd::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

bool CStartUpdateWnd::OnStartClick(void* param) {
    const auto* msg = static_cast<const TavroLib::NotifyMsg*>(param);
    // A click that arrives after the window has been closed starts nothing twice.
    if (msg == nullptr || msg->type != TavroLib::kNotifyClick || IsClosing())
        return true;
    CUIHelp* context = CUIHelp::Instance();
    switch (static_cast<int32_t>(context->checkType)) {
        case 2:
        case 4:
        case 5:
            Close(IDOK);  // the progress window follows
            break;
        case CHECK_INSTALLED: {
            CInstallerReportData::Instance()->ReportData(1, 1, 9, "Install Success");
            InstallChannelFile();
            // Joined with one separator: the check accepts an installDir from the
            // registry without its trailing one, and so must the launch.
            const std::wstring client = vorn::PathJoin(context->installDir, context->exeName);
            ::ShellExecuteW(nullptr, L"open", client.c_str(), nullptr, nullptr, SW_SHOW);
            Close(IDCLOSE);
            break;
        }
        default:
            break;
    }
    return true;
}
