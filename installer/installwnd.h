// Placeholder for the install page: shows its layout and closes with 8 from
// its close button, nothing else. The real install page replaces this file.
#pragma once

#include "installer/installerwindow.h"

class CInstallWnd : public CInstallerWindow {
  public:
    CInstallWnd() = default;
    ~CInstallWnd() override = default;

    const wchar_t* GetWindowClassName() const override;
    std::wstring GetSkinFile() override;
};
