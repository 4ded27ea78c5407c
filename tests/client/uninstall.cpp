#include "uninstall.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <set>

#include "util/string_util.h"
#include "util/win_handle.h"

namespace vorn::uninstall {

const wchar_t kManifestName[] = L"install.lst";
const wchar_t kShortcutName[] = L"\\Velto加速器.lnk";
const wchar_t kProductKey[] = L"Software\\Corlanth\\Vorn";
const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}";
// The channel file copy, and the download when the installer could not delete it.
const wchar_t* const kInstallerFiles[] = {L"ZizUdir.dat", L"tmpClient"};
const size_t kInstallerFileCount = sizeof(kInstallerFiles) / sizeof(kInstallerFiles[0]);

namespace {

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Strips the \\?\ (or \\?\UNC\) prefix that GetFinalPathNameByHandleW adds.
std::wstring WithoutLongPrefix(const std::wstring& p) {
    if (p.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\" + p.substr(7);
    if (p.rfind(L"\\\\?\\", 0) == 0)
        return p.substr(4);
    return p;
}

std::wstring FinalPath(HANDLE h) {
    std::wstring buffer(1024, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, &buffer[0], static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= buffer.size())
        return std::wstring();
    buffer.resize(n);
    return WithoutLongPrefix(buffer);
}

// Where the folder really is, links above it resolved: the base that every
// path below it must keep.
std::wstring ResolvedFolder(const std::wstring& folder) {
    UniqueHandle h(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return std::wstring();
    return FinalPath(h.Get());
}

std::wstring ToBackslashes(std::wstring p) {
    std::replace(p.begin(), p.end(), L'/', L'\\');
    return p;
}

// A drive's root already ends in the separator.
std::wstring Below(const std::wstring& folder, const std::wstring& rel) {
    return (!folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\") + rel;
}

// Opens folder\rel without following a link, after checking that no folder on
// the way is one. Missing: nothing there; Skipped: something that is not ours.
Removal OpenInside(const std::wstring& folder, const std::wstring& rel, bool wantFolder,
                   UniqueHandle* out) {
    const std::wstring base = NormalizeFolder(folder);
    const std::wstring resolved = ResolvedFolder(base);
    if (base.empty() || resolved.empty() || !IsPlainRelativePath(rel))
        return Removal::Skipped;
    const std::wstring relative = ToBackslashes(rel);
    // Every folder between base and the entry: a real folder, not a link. Wine
    // shows a symbolic link to a folder as a reparse point, as Windows does.
    for (size_t sep = relative.find(L'\\'); sep != std::wstring::npos;
         sep = relative.find(L'\\', sep + 1)) {
        const DWORD a = ::GetFileAttributesW(Below(base, relative.substr(0, sep)).c_str());
        if (a == INVALID_FILE_ATTRIBUTES)
            return Removal::Missing;
        if ((a & FILE_ATTRIBUTE_REPARSE_POINT) || !(a & FILE_ATTRIBUTE_DIRECTORY))
            return Removal::Skipped;
    }
    const std::wstring path = Below(base, relative);
    UniqueHandle h(::CreateFileW(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) {
        const DWORD e = ::GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? Removal::Missing
                                                                        : Removal::Failed;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return Removal::Failed;
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Removal::Skipped;
    if (((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != wantFolder)
        return Removal::Skipped;
    // What the handle really names must be the expected place below the folder:
    // Wine opens a symbolic link to a file as its target, whatever the flags.
    if (!EqualNoCase(FinalPath(h.Get()), Below(resolved, relative)))
        return Removal::Skipped;
    *out = std::move(h);
    return Removal::Removed;
}

Removal DeleteOpened(HANDLE h) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof(basic)))
        return Removal::Failed;
    const DWORD old = basic.FileAttributes;
    // A read-only file cannot be deleted; other attributes do not matter.
    if (old & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO change{};
        change.FileAttributes = old & ~FILE_ATTRIBUTE_READONLY;
        if (change.FileAttributes == 0)
            change.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(h, FileBasicInfo, &change, sizeof(change)))
            return Removal::Failed;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition)))
        return Removal::Removed;
    if (old & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO restore{};
        restore.FileAttributes = old;
        ::SetFileInformationByHandle(h, FileBasicInfo, &restore, sizeof(restore));
    }
    return Removal::Failed;
}

Removal RemoveInside(const std::wstring& folder, const std::wstring& rel, bool isFolder) {
    UniqueHandle h;
    const Removal opened = OpenInside(folder, rel, isFolder, &h);
    if (opened != Removal::Removed)
        return opened;
    return DeleteOpened(h.Get());
}

std::wstring ReadString(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0')
        value.pop_back();
    return value;
}

// Removes root\path when its string value `name` names folder (as a folder, or
// as a file in it when asFile).
bool RemoveKeyNaming(HKEY root, const wchar_t* path, const wchar_t* name, bool asFile,
                     const std::wstring& folder) {
    std::wstring value;
    {
        UniqueRegKey key;
        const LONG r = ::RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive());
        if (r == ERROR_FILE_NOT_FOUND)
            return true;
        if (r != ERROR_SUCCESS)
            return false;
        value = ReadString(key.Get(), name);
    }
    const std::wstring named = asFile ? FolderOfFile(value) : value;
    if (named.empty() || !SameFolder(named, folder))
        return true;  // another installation's record, or none of ours
    // With a subkey named, the key itself goes too.
    return ::RegDeleteTreeW(root, path) == ERROR_SUCCESS;
}

// Removes the parent key the installer's RegCreateKeyW made, when nothing else lives there.
void RemoveEmptyKey(HKEY root, const wchar_t* path) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    key.Reset();
    if (subkeys == 0 && values == 0)
        ::RegDeleteKeyW(root, path);
}

template <typename T>
struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p)
            p->Release();
    }
};

// The target folder of a shell link; empty when it cannot be read.
std::wstring LinkTargetFolder(const std::wstring& link) {
    ComRelease<IShellLinkW> shell;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shell.p))))
        return std::wstring();
    ComRelease<IPersistFile> file;
    if (FAILED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) ||
        FAILED(file.p->Load(link.c_str(), STGM_READ)))
        return std::wstring();
    wchar_t target[MAX_PATH] = {};
    if (shell.p->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK)
        return std::wstring();
    return FolderOfFile(target);
}

}  // namespace

std::wstring NormalizeFolder(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    std::wstring p = ToBackslashes(path);
    DWORD n = ::GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(p.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size())
        return std::wstring();
    full.resize(n);
    DWORD m = ::GetLongPathNameW(full.c_str(), nullptr, 0);
    if (m > 0) {
        std::wstring longer(m, L'\0');
        m = ::GetLongPathNameW(full.c_str(), &longer[0], m);
        if (m > 0 && m < longer.size()) {
            longer.resize(m);
            full = longer;
        }
    }
    while (full.size() > 1 && full.back() == L'\\' && !::PathIsRootW(full.c_str()))
        full.pop_back();
    return full;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    const std::wstring na = NormalizeFolder(a), nb = NormalizeFolder(b);
    return !na.empty() && EqualNoCase(na, nb);
}

std::wstring FolderOfFile(std::wstring path) {
    if (path.size() >= 2 && path.front() == L'"') {
        const size_t end = path.find(L'"', 1);
        path = path.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    }
    path = ToBackslashes(path);
    const size_t sep = path.find_last_of(L'\\');
    if (sep == std::wstring::npos)
        return std::wstring();
    return path.substr(0, sep + 1);
}

FolderVerdict CheckFolder(const std::wstring& folder) {
    const std::wstring f = NormalizeFolder(folder);
    const bool drive = f.size() >= 3 && f[1] == L':' && f[2] == L'\\';
    const bool unc = f.rfind(L"\\\\", 0) == 0;
    if (f.empty() || (!drive && !unc) || f.find(L"\\\\?\\") == 0)
        return FolderVerdict::NotAbsolute;
    if (::PathIsRootW(f.c_str()) || (unc && std::count(f.begin(), f.end(), L'\\') < 4))
        return FolderVerdict::Root;
    static const int kFolders[] = {CSIDL_WINDOWS,          CSIDL_SYSTEM,
                                   CSIDL_SYSTEMX86,        CSIDL_PROGRAM_FILES,
                                   CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                                   CSIDL_PROFILE,          CSIDL_DESKTOPDIRECTORY,
                                   CSIDL_PERSONAL,         CSIDL_APPDATA,
                                   CSIDL_LOCAL_APPDATA,    CSIDL_COMMON_APPDATA,
                                   CSIDL_PROGRAMS,         CSIDL_STARTMENU,
                                   CSIDL_COMMON_PROGRAMS,  CSIDL_COMMON_DESKTOPDIRECTORY};
    std::vector<std::wstring> keep;
    for (int csidl : kFolders) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
            keep.push_back(path);
    }
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH + 1, temp))
        keep.push_back(temp);
    for (const std::wstring& k : keep) {
        const std::wstring nk = NormalizeFolder(k);
        if (nk.empty())
            continue;
        // The folder itself, or one that holds it.
        if (EqualNoCase(nk, f) || (nk.size() > f.size() && nk[f.size()] == L'\\' &&
                                   EqualNoCase(nk.substr(0, f.size()), f)))
            return FolderVerdict::SystemFolder;
    }
    return FolderVerdict::Ok;
}

bool IsPlainRelativePath(const std::wstring& rel) {
    if (rel.empty() || rel.size() > 240)
        return false;
    const std::wstring p = ToBackslashes(rel);
    if (p.front() == L'\\' || p.back() == L'\\')
        return false;
    size_t start = 0;
    for (;;) {
        const size_t sep = p.find(L'\\', start);
        const std::wstring part = p.substr(start, sep == std::wstring::npos ? sep : sep - start);
        if (part.empty() || part == L"." || part == L".." || part.back() == L'.' ||
            part.back() == L' ')
            return false;
        for (wchar_t c : part) {
            if (c < 0x20 || wcschr(L":*?\"<>|", c) != nullptr)
                return false;
        }
        if (sep == std::wstring::npos)
            return true;
        start = sep + 1;
    }
}

bool ParseManifest(const std::string& text, std::vector<std::wstring>* files) {
    files->clear();
    std::string body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.erase(0, 3);
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        std::string line = body.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::wstring rel = Utf8ToWide(line);
        if (!IsPlainRelativePath(rel))
            return false;
        files->push_back(ToBackslashes(rel));
    }
    return !files->empty();
}

Removal RemoveFileInside(const std::wstring& folder, const std::wstring& rel) {
    return RemoveInside(folder, rel, false);
}

Removal RemoveFolderInside(const std::wstring& folder, const std::wstring& rel) {
    return RemoveInside(folder, rel, true);
}

std::vector<std::wstring> FoldersOf(const std::vector<std::wstring>& files) {
    std::set<std::wstring> folders;
    for (const std::wstring& f : files) {
        const std::wstring p = ToBackslashes(f);
        for (size_t sep = p.find(L'\\'); sep != std::wstring::npos; sep = p.find(L'\\', sep + 1))
            folders.insert(p.substr(0, sep));
    }
    std::vector<std::wstring> out(folders.begin(), folders.end());
    std::stable_sort(out.begin(), out.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::count(a.begin(), a.end(), L'\\') > std::count(b.begin(), b.end(), L'\\');
    });
    return out;
}

bool RemoveProductKey(const std::wstring& folder) {
    const bool ok = RemoveKeyNaming(HKEY_CURRENT_USER, kProductKey, L"installDir", false, folder);
    RemoveEmptyKey(HKEY_CURRENT_USER, L"Software\\Corlanth");
    return ok;
}

bool RemoveUninstallEntry(const std::wstring& folder) {
    return RemoveKeyNaming(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", true, folder);
}

bool RemoveShortcuts(const std::wstring& folder) {
    const HRESULT init = ::CoInitialize(nullptr);
    bool ok = true;
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOP}) {
        wchar_t base[MAX_PATH] = {};
        if (!::SHGetSpecialFolderPathW(nullptr, base, csidl, FALSE))
            continue;
        const std::wstring link = std::wstring(base) + kShortcutName;
        const DWORD a = ::GetFileAttributesW(link.c_str());
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const std::wstring target = LinkTargetFolder(link);
        if (target.empty() || !SameFolder(target, folder))
            continue;  // someone else's shortcut of the same name
        if (!::DeleteFileW(link.c_str()))
            ok = false;
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return ok;
}

}  // namespace vorn::uninstall
