// vorn.exe: records its start, shows its version, closes on request and by itself.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "support/test_support.h"
#include "util/string_util.h"
#include "util/win_handle.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

struct Started {
    UniqueHandle process;
    DWORD id = 0;
};

// Starts the client with extra environment entries ("NAME=value").
Started Start(const std::wstring& args, const std::wstring& cwd,
              const std::vector<std::wstring>& env) {
    for (const std::wstring& e : env) {
        const size_t eq = e.find(L'=');
        ::SetEnvironmentVariableW(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str());
    }
    const std::wstring exe = test::WideArg("client");
    std::wstring line = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    Started s;
    if (::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                         &si, &pi)) {
        ::CloseHandle(pi.hThread);
        s.process.Reset(pi.hProcess);
        s.id = pi.dwProcessId;
    }
    for (const std::wstring& e : env)
        ::SetEnvironmentVariableW(e.substr(0, e.find(L'=')).c_str(), nullptr);
    return s;
}

DWORD WaitExit(HANDLE process, DWORD ms) {
    if (::WaitForSingleObject(process, ms) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

struct Found {
    DWORD pid;
    HWND hwnd;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM p) {
    auto* f = reinterpret_cast<Found*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    if (owner == f->pid && ::IsWindowVisible(h)) {
        f->hwnd = h;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 100) {
        Found f{pid, nullptr};
        ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd)
            return f.hwnd;
        ::Sleep(100);
    }
    return nullptr;
}

std::vector<Json::Value> ReadRecords(const std::wstring& file) {
    std::vector<Json::Value> out;
    std::string text = test::ReadBytes(file);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        Json::Value v;
        Json::Reader reader;
        EXPECT_TRUE(reader.parse(text.substr(start, end - start), v)) << text;
        out.push_back(v);
        start = end + 2;
    }
    return out;
}

}  // namespace

TEST(Client, RecordsEachStartAndEndsByItself) {
    TempDir temp;
    const std::wstring record = temp.File(L"starts 记录.jsonl");
    const std::wstring cwd = temp.Path() + L"工作";
    ASSERT_TRUE(::CreateDirectoryW(cwd.c_str(), nullptr));

    Started first = Start(L"--first \"two words\"", cwd,
                          {L"VORN_CLIENT_RECORD=" + record, L"VORN_CLIENT_EXIT_MS=300"});
    ASSERT_TRUE(first.process);
    EXPECT_EQ(WaitExit(first.process.Get(), 30000), 0u);
    Started second = Start(L"/exit-after=200", temp.Path(), {L"VORN_CLIENT_RECORD=" + record});
    ASSERT_TRUE(second.process);
    EXPECT_EQ(WaitExit(second.process.Get(), 30000), 0u);

    const std::vector<Json::Value> records = ReadRecords(record);
    ASSERT_EQ(records.size(), 2u);
    const Json::Value& r = records[0];
    EXPECT_EQ(r["version"].asString(), test::Arg("version"));
    EXPECT_EQ(Utf8ToWide(r["path"].asString()), test::WideArg("client"));
    EXPECT_EQ(Utf8ToWide(r["cwd"].asString()), cwd);
    ASSERT_EQ(r["args"].size(), 2u);
    EXPECT_EQ(r["args"][0].asString(), "--first");
    EXPECT_EQ(r["args"][1].asString(), "two words");
    EXPECT_NE(r["commandLine"].asString().find("\"two words\""), std::string::npos);
    EXPECT_EQ(records[1]["args"][0].asString(), "/exit-after=200");
}

TEST(Client, ShowsItsVersionAndClosesOnRequest) {
    TempDir temp;
    Started s = Start(L"", temp.Path(), {});
    ASSERT_TRUE(s.process);
    HWND hwnd = WaitForWindow(s.id, 30000);
    ASSERT_NE(hwnd, nullptr);
    wchar_t title[256] = {};
    ::GetWindowTextW(hwnd, title, 256);
    EXPECT_EQ(std::wstring(title), L"Velto加速器 " + test::WideArg("version"));
    // Without an exit request it keeps running.
    EXPECT_EQ(WaitExit(s.process.Get(), 1000), static_cast<DWORD>(STILL_ACTIVE));
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitExit(s.process.Get(), 30000), 0u);
}

TEST(Client, WithoutRecordingVariableWritesNothing) {
    TempDir temp;
    Started s = Start(L"/exit-after=100", temp.Path(), {});
    ASSERT_TRUE(s.process);
    EXPECT_EQ(WaitExit(s.process.Get(), 30000), 0u);
    EXPECT_TRUE(test::ListFolder(temp.Path()).empty());
}

TEST(Client, UnwritableRecordFailsTheStart) {
    TempDir temp;
    Started s = Start(L"/exit-after=100", temp.Path(),
                      {L"VORN_CLIENT_RECORD=" + temp.File(L"missing\\record.jsonl")});
    ASSERT_TRUE(s.process);
    EXPECT_EQ(WaitExit(s.process.Get(), 30000), 3u);
}
