// The start/update window, shown instead of the install page when the check
// found a complete installation: its start button starts the installed client
// (or, for the outcomes that ask for it, lets the run go on to the progress
// window).
#pragma once

#include "installer/installerwindow.h"

class CStartUpdateWnd : public CInstallerWindow {
  public:
    CStartUpdateWnd() = default;
    ~CStartUpdateWnd() override = default;

    const wchar_t* GetWindowClassName() const override;
    // Subscribes the start button: OnStartClick, then RecordWindowRect.
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;

    // On "click", by the install context's checkType: 3 reports, copies the
    // channel file, starts the client and closes with 8; 2, 4 and 5 close
    // with 1; anything else does nothing. Always true.
    bool OnStartClick(void* param);
};
