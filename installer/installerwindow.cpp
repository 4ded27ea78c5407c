#include "installer/installerwindow.h"

#include "installer/resource.h"

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
