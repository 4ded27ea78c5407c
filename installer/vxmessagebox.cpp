#include "installer/vxmessagebox.h"

#include <shellapi.h>

#include "installer/buildconfig.h"

std::wstring VXMessageBox::GreenPackageAddress() {
    return L"https://" VORN_HOST_GREEN_PACKAGE L"/pkg/velto/pc_noinstall.7z";
}

UINT VXMessageBox::ShowFallback() {
    VXMessageBox box;
    return box.ShowCentred();
}

const wchar_t* VXMessageBox::GetWindowClassName() const {
    return L"VXMessageBoxUI";
}

void VXMessageBox::OnFinalMessage(HWND /*hWnd*/) {}

LRESULT VXMessageBox::ResponseDefaultKeyEvent(WPARAM /*wParam*/) {
    return 0;
}

std::wstring VXMessageBox::GetSkinFile() {
    return L"VXMessageBox.xml";
}

void VXMessageBox::Notify(TavroLib::NotifyMsg& msg) {
    if (msg.type != TavroLib::kNotifyClick || msg.sender == nullptr)
        return;
    const std::wstring& name = msg.sender->GetName();
    if (name == L"cancelbtn" || name == L"closebtn") {
        Close(IDCLOSE);
    } else if (name == L"okbtn") {
        // The browser downloads the package; the window stays open either way.
        const std::wstring url = GreenPackageAddress();
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
    }
}
