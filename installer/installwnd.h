// The install page of a fresh installation: the user accepts the agreement,
// may choose another folder than the proposed one, and clicks install; the
// folder is validated and stored in the install context.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "installer/installerwindow.h"

class CInstallWnd : public CInstallerWindow {
  public:
    CInstallWnd();
    ~CInstallWnd() override;
    CInstallWnd(const CInstallWnd&) = delete;
    CInstallWnd& operator=(const CInstallWnd&) = delete;

    const wchar_t* GetWindowClassName() const override;
    // Joins the search thread.
    void OnFinalMessage(HWND hWnd) override;
    void InitWindow() override;
    std::wstring GetSkinFile() override;
    // Enter and Escape do nothing on the page.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;

    // Control handlers; each receives the NotifyMsg. A false result stops the
    // control's later handlers.
    bool OnInstallClick(void* param);
    bool OnExpandClick(void* param);
    bool OnReduceClick(void* param);
    bool OnBrowseClick(void* param);
    bool OnAgreementLinkClick(void* param);
    bool OnAgreementSelectChanged(void* param);

    // The fixed drive with the most space available to the caller (the
    // earlier letter on a tie) followed by "\ProgramFiles\Vorn"; without such a
    // drive just "\ProgramFiles\Vorn".
    static std::wstring ProposeDefaultInstallDir();
    // The user agreement, on the agreement host of the build.
    static std::wstring AgreementAddress();
    // The free-space rule of the install click: the volume's free bytes count
    // in whole GiB only, and must hold the package's whole MiB. Sizes of 2 GiB
    // and more are compared in full; a negative size needs nothing.
    static bool HasRoomForPackage(uint64_t volumeFreeBytes, int64_t packageBytes);

    // On the window's thread: what the folder search does with its proposal.
    // The edit gets it only while empty, so a folder the user typed or browsed
    // first stays.
    void ApplyDefaultInstallDir(const std::wstring& proposal);

    // Window sizes of the two layout states.
    static constexpr int kWidth = 800;
    static constexpr int kCollapsedHeight = 500;
    static constexpr int kExpandedHeight = 588;

  private:
    // On m_searchThread: scans the drives, then hands the proposal to the
    // window's thread.
    void SearchDefaultInstallDir();
    void ApplyLayoutState(bool expanded);

    std::thread m_searchThread;
    bool m_agreed = false;
};
