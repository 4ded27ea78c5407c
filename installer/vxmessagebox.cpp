#include "installer/vxmessagebox.h"

#include <shellapi.h>

#include "installer/buildconfig.h"
#include "installer/resource.h"

VXMessageBox::~VXMessageBox() = default;

std::wstring VXMessageBox::GreenPackageAddress() {
    return L"https://" VORN_HOST_GREEN_PACKAGE L"/pkg/velto/pc_noinstall.7z";
}

UINT VXMessageBox::ShowFallback() {
    VXMessageBox box;
    if (box.Create(nullptr, L"Velto加速器安装程序", 0x10CE0000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT,
                   CW_USEDEFAULT, CW_USEDEFAULT) == nullptr) {
        return 0;
    }
    box.SetIcon(IDI_APP_ICON);
    box.CenterWindow();
    return box.ShowModal();
}

const wchar_t* VXMessageBox::GetWindowClassName() const {
    return L"VXMessageBoxUI";
}

void VXMessageBox::OnFinalMessage(HWND /*hWnd*/) {}

std::wstring VXMessageBox::GetSkinFolder() {
    return std::wstring();
}

std::wstring VXMessageBox::GetSkinFile() {
    return L"VXMessageBox.xml";
}

// Enter and Escape do nothing: the user decides with the buttons.
LRESULT VXMessageBox::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

DuiLib::UILIB_RESOURCETYPE VXMessageBox::GetResourceType() const {
    return DuiLib::UILIB_ZIPRESOURCE;
}

const wchar_t* VXMessageBox::GetResourceId() const {
    return MAKEINTRESOURCEW(IDR_SKIN_ZIP);
}

void VXMessageBox::Notify(DuiLib::NotifyMsg& msg) {
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK || msg.pSender == nullptr)
        return;
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"cancelbtn" || name == L"closebtn") {
        Close(IDCLOSE);
    } else if (name == L"okbtn") {
        // The browser downloads the package; the window stays open either way.
        const std::wstring url = GreenPackageAddress();
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
    }
}
