#include "installer/completewnd.h"

#include <cstdlib>

#include "installer/installerreportdata.h"

const wchar_t* CompleteWnd::GetWindowClassName() const {
    return L"CompleteWndUI";
}

void CompleteWnd::InitWindow() {
    if (TavroLib::CControlUI* note = FindControl(L"note"))
        note->SetText(L"安装完成");
}

std::wstring CompleteWnd::GetSkinFile() {
    return L"CompleteWnd.xml";
}

void CompleteWnd::Notify(TavroLib::NotifyMsg& msg) {
    if (msg.type != TavroLib::kNotifyClick || msg.sender == nullptr)
        return;
    const std::wstring& name = msg.sender->GetName();
    if (name == L"start") {
        CInstallerReportData::Instance()->ReportData(1, 1, 7, "Install Success");
        Close(IDCLOSE);
    } else if (name == L"closebtn") {
        EndProcess();
    }
}

void CompleteWnd::EndProcess() {
    std::exit(0);
}
