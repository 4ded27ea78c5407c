// The one-button message window: shows a text given by its caller (the install
// page's validation messages, the progress window's failures).
#pragma once

#include <string>

#include "installer/installerwindow.h"

class MessageInfoBox : public CInstallerWindow {
  public:
    MessageInfoBox() = default;
    ~MessageInfoBox() override = default;

    // Copies the text; call before Create. An empty message shows "未知异常".
    void SetMessage(const std::wstring& text);
    const std::wstring& Message() const { return m_message; }

    // Constructs, creates, centres and shows one box modally on the calling
    // thread; returns its close code (8 from its buttons, 0 otherwise).
    static UINT ShowMessage(const std::wstring& text);

    const wchar_t* GetWindowClassName() const override;
    void OnFinalMessage(HWND hWnd) override;
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;
    void Notify(TavroLib::NotifyMsg& msg) override;

  private:
    std::wstring m_message;
};
