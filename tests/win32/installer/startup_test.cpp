// Runs VeltoInstaller.exe as a user would start it, with a private temporary
// folder. No service answers, so each run ends in the network-fallback window,
// which the test closes.
#include <gtest/gtest.h>

#include "installer/startup.h"
#include "support/test_support.h"
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
