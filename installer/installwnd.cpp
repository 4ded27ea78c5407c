// Placeholder; see installwnd.h.
#include "installer/installwnd.h"

const wchar_t* CInstallWnd::GetWindowClassName() const {
    return L"InstallWndUI";
}

std::wstring CInstallWnd::GetSkinFile() {
    return L"InstallWnd.xml";
}
