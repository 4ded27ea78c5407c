// The completion window: shown by the progress worker after a successful
// installation. Its start button reports the success; its close button ends
// the process without starting the client; Escape keeps the window base's
// close with 1.
#pragma once

#include <string>

#include "installer/installerwindow.h"
#include "util/singleton.h"

class CompleteWnd : public CInstallerWindow, public vorn::Singleton<CompleteWnd> {
  public:
    ~CompleteWnd() override = default;

    const wchar_t* GetWindowClassName() const override;
    // "note" shows "安装完成" when the layout has it.
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // "start": report, then Close(8); "closebtn": EndProcess.
    void Notify(TavroLib::NotifyMsg& msg) override;

  protected:
    CompleteWnd() = default;
    // The close button: the process ends here with exit code 0.
    [[noreturn]] virtual void EndProcess();

  private:
    friend class vorn::Singleton<CompleteWnd>;
};
