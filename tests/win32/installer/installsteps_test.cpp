#include <gtest/gtest.h>

#include <shlobj.h>

#include "installer/httpinstallinfo.h"
#include "installer/installdir.h"
#include "installer/installsteps.h"
#include "installer/registryentries.h"
#include "installer/shortcuts.h"
#include "installer/uihelp.h"
#include "support/test_support.h"
#include "util/path_util.h"
#include "util/resource_util.h"
#include "util/win_handle.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

void ForgetEarlierInstallation() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    ::DeleteFileW(ShortcutPath(CSIDL_PROGRAMS).c_str());
    ::DeleteFileW(ShortcutPath(CSIDL_DESKTOP).c_str());
}

bool KeyExists(HKEY root, const wchar_t* path) {
    UniqueRegKey key;
    return ::RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

std::string ChannelResource() {
    ResourceBytes bytes;
    if (!LoadModuleResource(::GetModuleHandleW(nullptr), L"DATA", 152, bytes))
        return std::string();
    return std::string(static_cast<const char*>(bytes.data), bytes.size);
}

}  // namespace

TEST(RunInstallationSteps, UnpacksRegistersAndCleansUp) {
    ForgetEarlierInstallation();
    TempDir install;
    CUIHelp::Instance()->installDir = install.Path();
    CUIHelp::Instance()->exeName = L"vorn.exe";
    HttpInstallInfo::Instance()->clientVersion = L"2.0.0";
    const std::wstring package = PackagePath(install.Path());
    ASSERT_TRUE(
        ::CopyFileW((test::WideArg("archives") + L"\\tree.7z").c_str(), package.c_str(), 0));

    EXPECT_TRUE(RunInstallationSteps(package, install.Path(), HWND{}));
    EXPECT_EQ(test::ReadBytes(install.File(L"bin\\data\\x.dat")), "x-data\n");
    EXPECT_TRUE(test::FileExists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_TRUE(test::FileExists(ShortcutPath(CSIDL_DESKTOP)));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(test::FileExists(package));
    const std::string channel = ChannelResource();
    ASSERT_FALSE(channel.empty());
    EXPECT_EQ(test::ReadBytes(install.File(L"ZizUdir.dat")), channel);
    DeleteTree(install.Path());
}

TEST(RunInstallationSteps, AFailedExtractionStopsBeforeShortcutsAndRegistry) {
    for (const wchar_t* archive : {L"crc.7z", L"cut.7z", L"slip-parent.7z", L"bzip2.7z"}) {
        ForgetEarlierInstallation();
        TempDir install;
        CUIHelp::Instance()->installDir = install.Path();
        const std::wstring package = PackagePath(install.Path());
        ASSERT_TRUE(::CopyFileW((test::WideArg("archives") + L"\\" + archive).c_str(),
                                package.c_str(), FALSE));

        EXPECT_FALSE(RunInstallationSteps(package, install.Path(), HWND{}));
        EXPECT_FALSE(test::FileExists(ShortcutPath(CSIDL_PROGRAMS)));
        EXPECT_FALSE(test::FileExists(ShortcutPath(CSIDL_DESKTOP)));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(test::FileExists(install.File(L"ZizUdir.dat")));
        EXPECT_TRUE(test::FileExists(package));
    }
    EXPECT_STREQ(kExtractFailedEvent, "extract failed");
    EXPECT_STREQ(kExtractFailedMessage, L"解压客户端失败，请重新打开安装程序");
}
