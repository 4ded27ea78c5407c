// The network-fallback window: the server gave no package, so the user is
// offered the ready-to-run ("green") package for download in the web browser.
#pragma once

#include <string>

#include "installer/installerwindow.h"

class VXMessageBox : public CInstallerWindow {
  public:
    VXMessageBox() = default;
    ~VXMessageBox() override = default;

    // "https://" + the green-package host + "/pkg/velto/pc_noinstall.7z".
    static std::wstring GreenPackageAddress();

    // Constructs, creates, centres and shows the window modally on the calling
    // thread; returns its close code (8 from its buttons, 0 otherwise).
    static UINT ShowFallback();

    const wchar_t* GetWindowClassName() const override;
    void OnFinalMessage(HWND hWnd) override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    void Notify(TavroLib::NotifyMsg& msg) override;
};
