// vorn-fakeclient: stands in for the installed client. Each start appends one
// UTF-8 line, its command line, to "started.txt" beside itself, so a test can
// tell that (and how often) the installer started it. Exit code 0, or 1 when
// nothing could be recorded.
#include <windows.h>

#include <string>

#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring self;
    if (!vorn::GetModulePath(self))
        return 1;
    const std::wstring log = vorn::ParentFolder(self) + L"\\started.txt";
    const std::string line = vorn::WideToUtf8(::GetCommandLineW()) + "\n";
    for (int attempt = 0; attempt < 50; ++attempt) {
        vorn::UniqueHandle file(::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
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
