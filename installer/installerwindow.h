// What every window of the installer shares: its layout comes from the skin
// archive resource, it is created with the same title, style and icon, and
// the handler that records its position for the next window. Enter and
// Escape keep the window base's behaviour unless a window opts out itself.
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
    // Moves the window's top-left corner to rc's, keeping its size, without
    // activating it or changing the Z order.
    void PlaceAt(const RECT& rc);

    // Delegate shared by the windows whose position the next window takes:
    // on "click" the outer screen rectangle becomes the install context's
    // rcWindow. Always true, so later delegates run.
    bool RecordWindowRect(void* param);

    std::wstring GetSkinFolder() override;
    TavroLib::ResourceSource GetResourceType() const override;
    const wchar_t* GetResourceId() const override;
};
