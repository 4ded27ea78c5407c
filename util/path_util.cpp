#include "path_util.h"

#include <windows.h>

#include <vector>

#include "codepage_rules.h"
#include "string_util.h"
#include "win_handle.h"

namespace vorn {
namespace {

template <typename Char>
bool IsSep(Char c) {
    return c == Char('\\') || c == Char('/');
}

template <typename Char>
std::basic_string<Char> JoinImpl(const Char* first, const Char* second) {
    std::basic_string<Char> result = first ? first : std::basic_string<Char>();
    const bool endsWithSep = !result.empty() && IsSep(result.back());
    if (second != nullptr && IsSep(second[0])) {
        if (endsWithSep)
            ++second;
    } else if (!endsWithSep) {
        result += Char('\\');
    }
    if (second != nullptr)
        result += second;
    return result;
}

void TrimTrailingSeparators(std::wstring& path) {
    while (!path.empty() && IsSep(path.back()))
        path.pop_back();
}

DWORD Attributes(const std::wstring& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
}

}  // namespace

std::wstring PathJoin(const wchar_t* first, const wchar_t* second) {
    return JoinImpl(first, second);
}

std::wstring PathJoin(const std::wstring& first, const std::wstring& second) {
    return JoinImpl(first.c_str(), second.c_str());
}

std::string PathJoinA(const char* first, const char* second) {
    return JoinImpl(first, second);
}

std::wstring ParentFolder(const std::wstring& path) {
    std::wstring p = path;
    TrimTrailingSeparators(p);
    const size_t sep = p.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
        return std::wstring();
    return p.substr(0, sep);
}

bool WalkTree(const wchar_t* folder, const TreeVisitor& visitor) {
    if (folder == nullptr || folder[0] == L'\0')
        return false;
    std::wstring base = folder;
    TrimTrailingSeparators(base);

    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((base + L"\\*").c_str(), &data));
    if (!find)
        return false;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = base + L"\\" + name;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && !WalkTree(child.c_str(), visitor))
            return false;
        if (!visitor(child, isFolder))
            return false;
    } while (::FindNextFileW(find.Get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool GetModulePath(std::wstring& out) {
    std::vector<wchar_t> buffer(32767);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return false;
    out.assign(buffer.data(), n);
    return true;
}

bool GetModuleFolderA(std::string& out) {
    // MAX_PATH characters, which under UTF-8 take up to three bytes each.
    std::vector<char> buffer(NarrowBufferBytes(CP_ACP, MAX_PATH), '\0');
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), size);
    if (n == 0 || n >= size)
        return false;
    std::string path(buffer.data(), n);
    const size_t sep = path.rfind('\\');
    if (sep == std::string::npos)
        return false;
    out = path.substr(0, sep);
    return true;
}

bool IsRegularFile(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES &&
           (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool IsRegularFile(const std::string& path) {
    const std::wstring wide = AnsiToWide(path);
    if (wide.empty() || wide.size() > MAX_PATH)
        return false;
    return IsRegularFile(wide);
}

bool IsDirectory(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const std::wstring& path) {
    return !path.empty() && ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool MakeDirectories(const std::wstring& path) {
    std::wstring p = path;
    TrimTrailingSeparators(p);
    if (p.empty() || IsDirectory(p))
        return false;
    const std::wstring parent = ParentFolder(p);
    // A drive ("C:") or a share root has no parent to create.
    if (!parent.empty() && !IsDirectory(parent) && !(parent.size() == 2 && parent[1] == L':')) {
        if (!MakeDirectories(parent) && !IsDirectory(parent))
            return false;
    }
    return MakeDirectory(p);
}

}  // namespace vorn
