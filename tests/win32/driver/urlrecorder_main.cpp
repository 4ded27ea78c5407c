// vorn-urlrecorder: stands in for the web browser in tests. Appends its
// argument (the address it was asked to open) as one UTF-8 line to the file
// named by VORN_URL_LOG. Exit codes: 0 recorded, 1 no log or write failed, 2 usage.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "util/string_util.h"
#include "util/win_handle.h"

namespace {

int Record() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr)
        return 2;
    std::wstring url;
    for (int i = 1; i < argc; ++i)
        url += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    ::LocalFree(argv);
    if (argc < 2)
        return 2;

    wchar_t log[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"VORN_URL_LOG", log, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2)
        return 1;
    const std::string line = vorn::WideToUtf8(url) + "\n";

    // Two recorders may run at once: append-only writes of one line each, retried
    // while the other one holds the file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        vorn::UniqueHandle file(::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            const BOOL ok = ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()),
                                        &written, nullptr);
            return ok && written == line.size() ? 0 : 1;
        }
        ::Sleep(20);
    }
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return Record();
}
