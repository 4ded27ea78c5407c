// What every window of the installer shares: its layout comes from the skin
// archive resource, Enter and Escape do nothing unless a window says so, and
// it is created with the same title, style and icon.
#pragma once

#include "ui/toolkit.h"

// Creation parameters of every installer window.
extern const wchar_t kInstallerWindowTitle[];
constexpr DWORD kInstallerWindowStyle = 0x10CE0000;  // visible overlapped window, no maximise box
constexpr DWORD kInstallerWindowExStyle = WS_EX_WINDOWEDGE;

class CInstallerWindow : public TavroLib::WindowImplBase {
  public:
    // Create with the installer's parameters and SetIcon; false when the
    // system refuses the window.
    bool CreateInstallerWindow(HWND parent = nullptr);
    // Create, centre on the monitor and run the modal loop; the close code,
    // or 0 when the window could not be created.
    UINT ShowCentred();

    // Click handler for a button after which the next window opens where this
    // one is: stores the outer screen rectangle in the install context's
    // rcWindow. Always true, so later handlers still run.
    bool RecordWindowRect(void* param);

    std::wstring GetSkinFolder() override;
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    TavroLib::ResourceSource GetResourceType() const override;
    const wchar_t* GetResourceId() const override;
};
