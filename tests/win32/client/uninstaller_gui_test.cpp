// Uninstaller.exe without /S: it asks first, and a "no" leaves everything in place.
// Driven with real input on a private display.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/gui_driver.h"
#include "support/test_support.h"
#include "uninstall.h"
#include "util/path_util.h"
#include "util/win_handle.h"

using namespace vorn;
using namespace vorn::uninstall;

namespace {

const wchar_t kDir[] = L"C:\\Games\\Vorn\\";

bool Exists(const std::wstring& p) {
    return ::GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(HKEY root, const wchar_t* key) {
    UniqueRegKey k;
    return ::RegOpenKeyExW(root, key, 0, KEY_READ, k.Receive()) == ERROR_SUCCESS;
}

void Install() {
    const std::wstring from = test::WideArg("package");
    ASSERT_FALSE(from.empty()) << "--package missing";
    for (const wchar_t* f : {L"vorn.exe", L"Uninstaller.exe", L"install.lst"}) {
        MakeDirectories(kDir);
        ASSERT_TRUE(
            ::CopyFileW((from + L"\\" + f).c_str(), (kDir + std::wstring(f)).c_str(), FALSE));
    }
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, kProductKey, key.Receive()), ERROR_SUCCESS);
    const std::wstring dir = kDir;
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"installDir", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(dir.c_str()),
                               static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

struct Running {
    UniqueHandle process;
};

bool Start(Running* r) {
    const std::wstring exe = std::wstring(kDir) + L"Uninstaller.exe";
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, kDir, &si,
                          &pi))
        return false;
    ::CloseHandle(pi.hThread);
    r->process.Reset(pi.hProcess);
    return true;
}

DWORD ExitCode(HANDLE process) {
    if (::WaitForSingleObject(process, 30000) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

bool HasText(HWND dialog, const std::wstring& text) {
    const std::vector<std::wstring> texts = gui::WindowTexts(dialog);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Clicks a button of the message box where a person would.
bool ClickButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    RECT rc;
    if (button == nullptr || !::GetWindowRect(button, &rc))
        return false;
    POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::ScreenToClient(dialog, &centre);
    return gui::Click(dialog, centre.x, centre.y);
}

}  // namespace

TEST(UninstallerAsks, NoKeepsEverythingYesRemovesIt) {
    ASSERT_NO_FATAL_FAILURE(Install());

    Running first;
    ASSERT_TRUE(Start(&first));
    HWND ask = gui::WaitWindow(L"#32770", 30000);
    ASSERT_NE(ask, nullptr);
    EXPECT_TRUE(HasText(ask, L"Velto加速器卸载程序"));
    EXPECT_TRUE(HasText(ask, L"确定要卸载Velto加速器吗？"));
    ASSERT_TRUE(ClickButton(ask, IDNO));
    EXPECT_EQ(ExitCode(first.process.Get()), 1u);
    EXPECT_TRUE(Exists(std::wstring(kDir) + L"vorn.exe"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKey));

    Running second;
    ASSERT_TRUE(Start(&second));
    ask = gui::WaitWindow(L"#32770", 30000);
    ASSERT_NE(ask, nullptr);
    ASSERT_TRUE(ClickButton(ask, IDYES));
    ASSERT_TRUE(gui::WaitWindowGone(ask, 10000));
    HWND done = gui::WaitWindow(L"#32770", 30000);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(HasText(done, L"Velto加速器已卸载。"));
    EXPECT_FALSE(Exists(std::wstring(kDir) + L"vorn.exe"));  // removed before the message
    ASSERT_TRUE(gui::Key(done, L"enter"));
    EXPECT_EQ(ExitCode(second.process.Get()), 0u);
    EXPECT_TRUE(gui::WaitFor([] { return !Exists(kDir); }, 30000));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
}
