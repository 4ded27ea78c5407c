// Runs VeltoInstaller.exe as a user would start it, with a private temporary
// folder. No service answers, so each run ends in the network-fallback window,
// which the test closes. Also reads the executable's version resource.
#include <gtest/gtest.h>

#include <cstdio>

#include "installer/startup.h"
#include "support/test_support.h"
#include "util/string_util.h"
#include "util/win_handle.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

struct Child {
    UniqueHandle process;
    DWORD pid = 0;
};

bool Start(Child& child) {
    std::wstring cmd = L"\"" + test::WideArg("installer") + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        return false;
    }
    ::CloseHandle(pi.hThread);
    child.process.Reset(pi.hProcess);
    child.pid = pi.dwProcessId;
    return true;
}

DWORD WaitExit(Child& child, DWORD ms = 60000) {
    if (::WaitForSingleObject(child.process.Get(), ms) != WAIT_OBJECT_0) {
        ::TerminateProcess(child.process.Get(), 99);
        return 0xDEAD;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(child.process.Get(), &code);
    return code;
}

struct Find {
    DWORD pid;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM p) {
    auto* f = reinterpret_cast<Find*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    wchar_t text[256] = {};
    ::GetWindowTextW(h, text, 256);
    if (owner == f->pid && std::wstring(text) == f->title && ::IsWindowVisible(h)) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, const wchar_t* title, DWORD ms = 30000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        Find f{pid, title};
        ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&f));
        if (f.found)
            return f.found;
        ::Sleep(100);
    }
    return nullptr;
}

struct FindClass {
    DWORD pid;
    HWND found = nullptr;
};

BOOL CALLBACK MatchFallback(HWND h, LPARAM p) {
    auto* f = reinterpret_cast<FindClass*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    wchar_t name[64] = {};
    ::GetClassNameW(h, name, 64);
    if (owner == f->pid && std::wstring(name) == L"VXMessageBoxUI" && ::IsWindowVisible(h)) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

// Waits for the run's fallback window, closes it as its close button does and
// returns the exit code.
DWORD FinishRun(Child& child) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 60000) {
        FindClass f{child.pid};
        ::EnumWindows(MatchFallback, reinterpret_cast<LPARAM>(&f));
        if (f.found != nullptr) {
            ::PostMessageW(f.found, WM_CLOSE, IDCLOSE, 0);
            break;
        }
        if (::WaitForSingleObject(child.process.Get(), 100) == WAIT_OBJECT_0)
            break;
    }
    return WaitExit(child);
}

std::string ReadArgFile(const char* name) {
    return test::ReadBytes(test::WideArg(name));
}

}  // namespace

TEST(Startup, SecondInstanceShowsTheMessageAndTouchesNothing) {
    UniqueHandle held(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    ASSERT_TRUE(held.Valid());
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());

    Child child;
    ASSERT_TRUE(Start(child));
    HWND box = WaitForWindow(child.pid, L"错误提示");
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the message box's text control
    EXPECT_STREQ(text, L"安装程序只能运行一个");
    EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitExit(child), 0u);
    EXPECT_TRUE(test::ListFolder(temp.Path()).empty());
}

TEST(Startup, WritesTheDataFilesOverOldOnes) {
    const std::string bundle = ReadArgFile("ca-bundle");
    const std::string channel = ReadArgFile("channel-file");
    ASSERT_FALSE(bundle.empty());
    ASSERT_EQ(channel.size() % 8, 0u);
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());
    // a longer old bundle must not keep its tail; an old channel file is replaced
    ASSERT_TRUE(test::WriteBytes(temp.File(L"cacert.pem"), bundle + "stale tail of an old bundle"));
    ASSERT_TRUE(test::WriteBytes(temp.File(L"ZizUdir.dat"), std::string(200, '\x5a')));

    Child child;
    ASSERT_TRUE(Start(child));
    EXPECT_EQ(FinishRun(child), 0u);
    EXPECT_TRUE(test::ReadBytes(temp.File(L"cacert.pem")) == bundle);
    EXPECT_TRUE(test::ReadBytes(temp.File(L"ZizUdir.dat")) == channel);
}

TEST(Startup, FreshTemporaryFolderGetsTheTwoFilesAndWhatTheRunAdds) {
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());
    Child child;
    ASSERT_TRUE(Start(child));
    EXPECT_EQ(FinishRun(child), 0u);
    // Besides the two data files: the daily log and the deciphered channel.
    std::vector<std::wstring> files = test::ListFolder(temp.Path());
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].rfind(L"Installer", 0), 0u);
    EXPECT_EQ(files[0].size(), std::wstring(L"Installer20250101.log").size());
    files.erase(files.begin());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"ZizUdir.dat", L"ZizUdir.ini", L"cacert.pem"}));
    EXPECT_EQ(test::ReadBytes(temp.File(L"cacert.pem")).size(), ReadArgFile("ca-bundle").size());
}

// What Explorer's properties show, read through the version API: the fixed
// numbers, the Chinese (PRC) string table the translation names, and its texts.
TEST(Startup, VersionResourceNamesProductPublisherAndVersion) {
    const std::wstring exe = test::WideArg("installer");
    const std::wstring version = test::WideArg("version");
    ASSERT_FALSE(version.empty());
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);  // no debug or pre-release build
    const auto numbers = [](DWORD ms, DWORD ls) {
        return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." +
               std::to_wstring(HIWORD(ls)) + L"." + std::to_wstring(LOWORD(ls));
    };
    EXPECT_EQ(numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version);
    EXPECT_EQ(numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);  // Chinese (PRC)
    EXPECT_EQ(translation[1], 1200);    // UTF-16

    const struct {
        const wchar_t* name;
        std::wstring text;
    } strings[] = {
        {L"CompanyName", L"Corlanth科技股份有限公司"},
        {L"FileDescription", L"Velto加速器安装程序"},
        {L"FileVersion", version},
        {L"InternalName", L"VeltoInstaller"},
        {L"OriginalFilename", L"VeltoInstaller.exe"},
        {L"ProductName", L"Velto加速器"},
        {L"ProductVersion", version},
    };
    for (const auto& s : strings) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + s.name;
        wchar_t* text = nullptr;
        ASSERT_TRUE(
            ::VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
            << "no " << WideToUtf8(s.name);
        EXPECT_EQ(std::wstring(text), s.text) << s.name;
        std::printf("%s: %s\n", WideToUtf8(s.name).c_str(), WideToUtf8(text).c_str());
    }
}
