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

void CInstallerWindow::PlaceAt(const RECT& rc) {
    if (m_hWnd == nullptr)
        return;
    ::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, -1, -1,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CInstallerWindow::RecordWindowRect(void* param) {
    const auto* msg = static_cast<const TavroLib::NotifyMsg*>(param);
    if (msg == nullptr || msg->type != TavroLib::kNotifyClick || m_hWnd == nullptr)
        return true;
    RECT rc{};
    if (::GetWindowRect(m_hWnd, &rc))
        CUIHelp::Instance()->rcWindow = rc;
    return true;
}

std::wstring CInstallerWindow::GetSkinFolder() {
    return std::wstring();
}

TavroLib::ResourceSource CInstallerWindow::GetResourceType() const {
    return TavroLib::ResourceSource::ZipResource;
}

const wchar_t* CInstallerWindow::GetResourceId() const {
    return MAKEINTRESOURCEW(IDR_SKIN_ZIP);
}
