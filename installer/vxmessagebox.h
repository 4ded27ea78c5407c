// The network-fallback window: the server gave no package, so the user is
// offered the ready-to-run ("green") package for download in the web browser.
#pragma once

#include <string>

#include "ui/uilib.h"

class VXMessageBox : public DuiLib::WindowImplBase {
  public:
    VXMessageBox() = default;
    ~VXMessageBox() override;

    // "https://" + the green-package host + "/pkg/velto/pc_noinstall.7z".
    static std::wstring GreenPackageAddress();

    // Constructs, creates, centres and shows the window modally on the calling
    // thread; returns its close code (8 from its buttons, 0 otherwise).
    static UINT ShowFallback();

    const wchar_t* GetWindowClassName() const override;
    void OnFinalMessage(HWND hWnd) override;
    std::wstring GetSkinFolder() override;
    std::wstring GetSkinFile() override;
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
    const wchar_t* GetResourceId() const override;
    void Notify(DuiLib::NotifyMsg& msg) override;
};
