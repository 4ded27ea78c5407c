// Uninstaller.exe of the client package.
//   Uninstaller.exe [/S]      removes the installation in its own folder; /S asks nothing
// Exit codes: 0 done, 1 cancelled, 2 the folder looks wrong, 3 no usable file list,
// 4 something of the installation stayed.
//
// A running executable cannot delete itself. The first process removes all but
// itself, then starts a copy of itself from the temporary folder with
//   /finish PROCESS-HANDLE FOLDER NAME
// which waits for the first process to end, deletes FOLDER\NAME and the folder
// when it is empty. The copy inherits a delete-on-close handle to its own file,
// so the file goes once the copy has ended and that handle is closed.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "uninstall.h"
#include "util/path_util.h"
#include "util/win_handle.h"

namespace {

using namespace vorn::uninstall;

const wchar_t kTitle[] = L"Velto加速器卸载程序";

enum Exit { kDone = 0, kCancelled = 1, kRefused = 2, kNoList = 3, kIncomplete = 4 };

void Tell(bool silent, const wchar_t* text, UINT icon) {
    if (!silent)
        ::MessageBoxW(nullptr, text, kTitle, MB_OK | icon);
}

bool ReadFileBytes(const std::wstring& path, std::string* out) {
    vorn::UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h.Get(), &size) || size.QuadPart > (1 << 20))
        return false;
    out->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return out->empty() ||
           (::ReadFile(h.Get(), &(*out)[0], static_cast<DWORD>(out->size()), &read, nullptr) &&
            read == out->size());
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring Quoted(const std::wstring& s) {
    return L"\"" + s + L"\"";
}

// Starts the copy that deletes this executable once this process has ended.
bool StartFinisher(const std::wstring& self, const std::wstring& folder, const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        return false;
    wchar_t leaf[64];
    swprintf(leaf, 64, L"vorn-uninstall-%lu.exe", ::GetCurrentProcessId());
    const std::wstring copy = std::wstring(temp) + leaf;
    if (!::CopyFileW(self.c_str(), copy.c_str(), FALSE))
        return false;
    // Opened without write access, so the copy can still be started; inherited
    // by it, so the last handle closes when it ends. Where that cannot be had,
    // the copy goes at the next restart instead.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    vorn::UniqueHandle doomed(::CreateFileW(copy.c_str(), DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                            OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!doomed)
        ::MoveFileExW(copy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    vorn::UniqueHandle me;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(),
                           me.Receive(), SYNCHRONIZE, TRUE, 0))
        return false;
    std::wstring line = Quoted(copy) + L" /finish " +
                        std::to_wstring(reinterpret_cast<uintptr_t>(me.Get())) + L" " +
                        Quoted(folder) + L" " + Quoted(name);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    // The copy works from the temporary folder, so that it holds nothing in ours.
    if (!::CreateProcessW(copy.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, temp, &si,
                          &pi)) {
        if (!doomed)
            ::DeleteFileW(copy.c_str());
        return false;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

int Finish(const std::vector<std::wstring>& args) {
    if (args.size() != 5)
        return kRefused;
    const HANDLE first = reinterpret_cast<HANDLE>(
        static_cast<uintptr_t>(std::wcstoull(args[2].c_str(), nullptr, 10)));
    ::WaitForSingleObject(first, 60000);
    ::CloseHandle(first);

    const std::wstring& folder = args[3];
    const std::wstring& name = args[4];
    if (CheckFolder(folder) != FolderVerdict::Ok || !IsPlainRelativePath(name) ||
        name.find(L'\\') != std::wstring::npos || name.find(L'/') != std::wstring::npos)
        return kRefused;
    int result = kDone;
    // The first process may take a moment to let go of its image.
    Removal r = Removal::Failed;
    for (int attempt = 0; attempt < 50; ++attempt) {
        r = RemoveFileInside(folder, name);
        if (r != Removal::Failed)
            break;
        ::Sleep(100);
    }
    if (r == Removal::Failed || r == Removal::Skipped)
        result = kIncomplete;
    const std::wstring normal = NormalizeFolder(folder);
    const std::wstring parent = vorn::ParentFolder(normal);
    if (!parent.empty())
        RemoveFolderInside(parent + L"\\", normal.substr(parent.size() + 1));
    return result;
}

int Uninstall(bool silent) {
    std::wstring self;
    if (!vorn::GetModulePath(self))
        return kRefused;
    const std::wstring folder = NormalizeFolder(vorn::ParentFolder(self));
    const std::wstring name = self.substr(self.find_last_of(L"\\/") + 1);
    if (folder.empty() || CheckFolder(folder) != FolderVerdict::Ok) {
        Tell(silent, L"卸载程序所在的目录不是Velto加速器的安装目录，未做任何更改。", MB_ICONERROR);
        return kRefused;
    }
    std::string text;
    std::vector<std::wstring> files;
    if (!ReadFileBytes(folder + L"\\" + kManifestName, &text) || !ParseManifest(text, &files)) {
        Tell(silent, L"找不到安装文件列表，未做任何更改。", MB_ICONERROR);
        return kNoList;
    }
    if (!silent && ::MessageBoxW(nullptr, L"确定要卸载Velto加速器吗？", kTitle,
                                 MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kCancelled;

    bool complete = RemoveShortcuts(folder);
    complete = RemoveProductKey(folder) && complete;
    complete = RemoveUninstallEntry(folder) && complete;
    for (size_t i = 0; i < kInstallerFileCount; ++i)
        files.push_back(kInstallerFiles[i]);
    for (const std::wstring& f : files) {
        if (SameName(f, name))
            continue;
        const Removal r = RemoveFileInside(folder, f);
        if (r == Removal::Failed || r == Removal::Skipped)
            complete = false;
    }
    // Folders that still hold something not ours stay.
    for (const std::wstring& f : FoldersOf(files))
        RemoveFolderInside(folder, f);
    if (!StartFinisher(self, folder, name))
        complete = false;
    Tell(silent, complete ? L"Velto加速器已卸载。" : L"Velto加速器已卸载，部分文件未能删除。",
         MB_ICONINFORMATION);
    return complete ? kDone : kIncomplete;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 0; argv != nullptr && i < argc; ++i)
        args.push_back(argv[i]);
    ::LocalFree(argv);
    if (args.size() >= 2 && SameName(args[1], L"/finish"))
        return Finish(args);
    bool silent = false;
    for (size_t i = 1; i < args.size(); ++i)
        silent = silent || SameName(args[i], L"/S");
    return Uninstall(silent);
}
