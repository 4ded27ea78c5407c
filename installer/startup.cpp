#include "installer/startup.h"

#include "installer/resource.h"
#include "util/path_util.h"
#include "util/resource_util.h"

namespace vorn {

const wchar_t kInstanceMutexName[] = L"5C1E0A77 - 8B2D - 4F61 - A3C9 - 7D04E2B6F318";

void RestrictDllSearchPath() {
    // Present from Windows 8 on (and 7 with its update); resolved at run time
    // so the executable still starts where it is missing.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current folder out of the search order as well.
    ::SetDllDirectoryW(L"");
}

bool AcquireSingleInstance(UniqueHandle& mutex) {
    mutex.Reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        mutex.Reset();
        ::MessageBoxW(nullptr, L"安装程序只能运行一个", L"错误提示", MB_ICONERROR);
        return false;
    }
    return true;
}

void EnableDebugPrivilege() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Receive())) {
        return;
    }
    TOKEN_PRIVILEGES privileges{};
    if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

namespace {

void WriteDataFile(HMODULE module, int id, const wchar_t* name, bool replace) {
    ResourceBytes bytes;
    if (!LoadModuleResource(module, L"DATA", id, bytes))
        return;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = PathJoin(temp, name);
    if (replace)
        ::DeleteFileW(path.c_str());
    // The file ends up equal to the resource even over a longer old file.
    WriteBytesToFile(path.c_str(), bytes, /*truncate=*/true);
}

}  // namespace

void WriteEmbeddedDataFiles(HMODULE module) {
    WriteDataFile(module, IDR_CA_BUNDLE, L"cacert.pem", /*replace=*/false);
    WriteDataFile(module, IDR_CHANNEL_FILE, L"ZizUdir.dat", /*replace=*/true);
}

}  // namespace vorn
