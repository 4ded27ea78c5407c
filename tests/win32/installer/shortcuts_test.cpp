#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "util/com_scope.h"
#include "installer/shortcuts.h"
#include "installer/uihelp.h"
#include "support/test_support.h"
#include "util/path_util.h"
#include "util/string_util.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

struct LinkFields {
    std::wstring path, workingFolder, arguments, description, iconPath;
    int iconIndex = -1;
    int showCommand = 0;
    WORD hotKey = 1;
};

bool ReadLink(const std::wstring& file, LinkFields& out) {
    ComApartment com;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid())))
        return false;
    ComPtr<IPersistFile> persist;
    if (FAILED(link.As(persist)) || FAILED(persist->Load(file.c_str(), STGM_READ)))
        return false;
    wchar_t text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    out.path = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    out.workingFolder = text;
    text[0] = 0;
    link->GetArguments(text, MAX_PATH);
    out.arguments = text;
    text[0] = 0;
    link->GetDescription(text, MAX_PATH);
    out.description = text;
    text[0] = 0;
    link->GetIconLocation(text, MAX_PATH, &out.iconIndex);
    out.iconPath = text;
    link->GetShowCmd(&out.showCommand);
    link->GetHotkey(&out.hotKey);
    return true;
}

void ExpectShortcut(const std::wstring& file, const std::wstring& target,
                    const std::wstring& folder) {
    SCOPED_TRACE(WideToUtf8(file));
    LinkFields f;
    ASSERT_TRUE(ReadLink(file, f));
    EXPECT_EQ(f.path, target);
    EXPECT_EQ(f.workingFolder, folder);
    EXPECT_EQ(f.arguments, L"");
    EXPECT_EQ(f.description, L"");
    EXPECT_EQ(f.iconPath, L"");
    EXPECT_EQ(f.showCommand, SW_SHOWNORMAL);
    EXPECT_EQ(f.hotKey, 0);
}

}  // namespace

TEST(CreateShortcuts, StartMenuAndDesktopLinksToTheClient) {
    const std::wstring programs = ShortcutPath(CSIDL_PROGRAMS);
    const std::wstring desktop = ShortcutPath(CSIDL_DESKTOP);
    ASSERT_FALSE(programs.empty());
    ASSERT_FALSE(desktop.empty());
    EXPECT_EQ(programs.substr(programs.size() - 13), L"\\Velto加速器.lnk");
    EXPECT_NE(programs, desktop);

    TempDir install;
    ASSERT_TRUE(test::WriteBytes(install.File(L"client.exe"), "MZ"));
    CUIHelp::Instance()->installDir = install.Path();
    CUIHelp::Instance()->exeName = L"client.exe";
    ::DeleteFileW(programs.c_str());
    ::DeleteFileW(desktop.c_str());
    CreateShortcuts();
    // the client is the folder followed directly by the executable's name
    ExpectShortcut(programs, install.Path() + L"client.exe", install.Path());
    ExpectShortcut(desktop, install.Path() + L"client.exe", install.Path());
}

TEST(CreateShortcuts, OverwritesAnExistingShortcutAndLeavesComAsItWas) {
    TempDir first;
    TempDir second;
    ASSERT_TRUE(test::WriteBytes(first.File(L"vorn.exe"), "MZ"));
    ASSERT_TRUE(test::WriteBytes(second.File(L"vorn.exe"), "MZ"));
    EXPECT_TRUE(CreateShortcuts(first.File(L"vorn.exe"), first.Path()));
    EXPECT_TRUE(CreateShortcuts(second.File(L"vorn.exe"), second.Path()));
    ExpectShortcut(ShortcutPath(CSIDL_DESKTOP), second.File(L"vorn.exe"), second.Path());
    ExpectShortcut(ShortcutPath(CSIDL_PROGRAMS), second.File(L"vorn.exe"), second.Path());
    // COM is initialised for the call only: this thread has no apartment afterwards
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ::CoUninitialize();
}

TEST(CreateShortcuts, FailsOnAThreadWhoseApartmentDiffers) {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    TempDir dir;
    EXPECT_FALSE(CreateShortcuts(dir.File(L"vorn.exe"), dir.Path()));
    ::CoUninitialize();
}
