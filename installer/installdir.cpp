#include "installer/installdir.h"

#include <windows.h>

#include "util/path_util.h"
#include "util/win_handle.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\" or "\\server\share\": the part that cannot be created level by level.
size_t RootLength(const std::wstring& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t seps = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if (IsSeparator(path[i]) && ++seps == 2)
                return i + 1;
        }
        return path.size();
    }
    const size_t sep = path.find_first_of(L"\\/");
    return sep == std::wstring::npos ? path.size() : sep + 1;
}

bool EnsureFolder(const std::wstring& folder) {
    if (vorn::IsDirectory(folder))
        return true;
    // Another process may have made it in between.
    return vorn::MakeDirectory(folder) || vorn::IsDirectory(folder);
}

bool RemoveFile(const std::wstring& path) {
    if (::DeleteFileW(path.c_str()))
        return true;
    // A read-only file refuses deletion until its attribute is cleared.
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_READONLY) == 0)
        return false;
    ::SetFileAttributesW(path.c_str(), a & ~DWORD(FILE_ATTRIBUTE_READONLY));
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool RemoveContents(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    vorn::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return false;
    bool all = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (!vorn::RemoveTreeEntry(folder + L"\\" + name, data.dwFileAttributes))
            all = false;
    } while (::FindNextFileW(find.Get(), &data));
    return all;
}

}  // namespace

bool PrepareInstallDir(std::wstring path) {
    const size_t rootLength = RootLength(path);
    if (rootLength == 0)
        return false;
    std::wstring current = path.substr(0, rootLength);
    if (!IsSeparator(current.back()))
        current += L'\\';
    if (!EnsureFolder(current))
        return false;
    size_t start = rootLength;
    while (start < path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start) {
            current.append(path, start, end - start);
            current += L'\\';
            if (!EnsureFolder(current))
                return false;
        }
        start = end + 1;
    }
    return true;
}

std::wstring PackagePath(const std::wstring& installDir) {
    return vorn::PathJoin(installDir, L"tmpClient");
}

void ClearPackagePath(const std::wstring& path) {
    ::DeleteFileW(path.c_str());
    if (vorn::IsDirectory(path))
        vorn::DeleteTree(path);
}

namespace vorn {

bool DeleteTree(const std::wstring& path) {
    std::wstring p = path;
    while (p.size() > 1 && IsSeparator(p.back()))
        p.pop_back();
    if (p.empty())
        return false;
    const DWORD a = ::GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    RemoveTreeEntry(p, a);
    return ::GetFileAttributesW(p.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveTreeEntry(const std::wstring& path, DWORD attributes) {
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link is removed as it stands: RemoveDirectoryW on a folder link and
    // DeleteFileW on a file link delete the link, not its target.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return isFolder ? ::RemoveDirectoryW(path.c_str()) != FALSE : RemoveFile(path);
    if (!isFolder)
        return RemoveFile(path);
    RemoveContents(path);
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

}  // namespace vorn
