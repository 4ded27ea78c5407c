#include "installer/installerwindow.h"

#include "installer/resource.h"
#include "installer/uihelp.h"

const wchar_t kInstallerWindowTitle[] = L"Velto加速器安装程序";

bool CInstallerWindow::CreateInstallerWindow(HWND parent) {
    if (Create(parent, kInstallerWindowTitle, kInstallerWindowStyle, kInstallerWindowExStyle,
               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT) == nullptr) {
        return false;
    }
    SetIcon(IDI_APP_ICON);
    return true;
}

UINT CInstallerWindow::ShowCentred() {
    if (!CreateInstallerWindow())
        return 0;
    CenterWindow();
    return ShowModal();
}

bool CInstallerWindow::RecordWindowRect(void* param) {
    const auto* msg = static_cast<const TavroLib::NotifyMsg*>(param);
    if (msg == nullptr || msg->type != TavroLib::kNotifyClick)
        return true;
    // A window already gone (closed from a nested message loop) records nothing.
    RECT rc{};
    if (m_hWnd != nullptr && ::GetWindowRect(m_hWnd, &rc))
        CUIHelp::Instance()->rcWindow = rc;
    return true;
}

std::wstring CInstallerWindow::GetSkinFolder() {
    return std::wstring();
}

LRESULT CInstallerWindow::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

TavroLib::ResourceSource CInstallerWindow::GetResourceType() const {
    return TavroLib::ResourceSource::ZipResource;
}

const wchar_t* CInstallerWindow::GetResourceId() const {
    return MAKEINTRESOURCEW(IDR_SKIN_ZIP);
}
