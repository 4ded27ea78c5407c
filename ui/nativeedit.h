// The native EDIT window laid over a CEditUI while the user types.
#pragma once

#include <windows.h>

#include <string>

namespace TavroLib {

class CEditUI;

class CNativeEdit {
  public:
    // Creates the child window over owner; null when it cannot be created.
    static CNativeEdit* Create(CEditUI* owner);
    // From the parent's WM_CTLCOLOREDIT: the window's object, or null.
    static CNativeEdit* FromHandle(HWND hWnd);

    HWND GetHandle() const { return m_hWnd; }
    std::wstring GetText() const;
    void SetText(const std::wstring& text);
    void Move(const RECT& rc);
    // Hands the text to the owner and destroys the window (and this object).
    void Finish();
    // The owner goes away first: destroy without calling it back.
    void Detach();
    HBRUSH ColorEdit(HDC hdc);

  private:
    CNativeEdit() = default;
    ~CNativeEdit();
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CEditUI* m_owner = nullptr;
    HWND m_hWnd = nullptr;
    WNDPROC m_oldProc = nullptr;
    HBRUSH m_bkBrush = nullptr;
    bool m_finishing = false;
};

}  // namespace TavroLib
