// Stands in for the installed client in end-to-end scenarios. Appends one JSON
// line to the file named by VORN_E2E_STARTS: its own path, its working folder
// and the command line it got, then ends; with "/stay" on its command line it
// keeps running (its executable in use, as a running client's is) until it is
// ended, at most kStayMs. Exit codes: 0 recorded, 1 not.
#include <windows.h>

#include <string>

#include "agent/json_writer.h"
#include "util/string_util.h"
#include "util/win_handle.h"

namespace {

// A scenario that forgets to end it still ends in time.
constexpr DWORD kStayMs = 10 * 60 * 1000;

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

std::wstring CurrentFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 2, path);
    return path;
}

int Record(const wchar_t* args) {
    wchar_t log[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"VORN_E2E_STARTS", log, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2)
        return 1;
    e2e::JsonWriter j;
    j.BeginObject().Key("path").String(ModulePath()).Key("cwd").String(CurrentFolder());
    j.Key("args").String(std::wstring(args)).EndObject();
    const std::string line = j.Text() + "\n";
    // Two starts may record at once: one append each, retried while the other writes.
    for (int attempt = 0; attempt < 50; ++attempt) {
        vorn::UniqueHandle file(::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            return ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                               nullptr) &&
                           written == line.size()
                       ? 0
                       : 1;
        }
        ::Sleep(20);
    }
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR args, int) {
    const int recorded = Record(args);
    if (std::wstring(args).find(L"/stay") != std::wstring::npos)
        ::Sleep(kStayMs);
    return recorded;
}
