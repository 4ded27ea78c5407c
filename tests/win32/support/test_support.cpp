#include "support/test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "util/path_util.h"
#include "util/string_util.h"

namespace vorn::test {

std::map<std::string, std::string>& Args() {
    static std::map<std::string, std::string> args;
    return args;
}

std::string Arg(const std::string& name) {
    auto it = Args().find(name);
    return it == Args().end() ? std::string() : it->second;
}

std::wstring WideArg(const std::string& name) {
    return Utf8ToWide(Arg(name));
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"vorntest-%lu-%u-%lu\\", ::GetCurrentProcessId(), ++counter,
                 ::GetTickCount());
        path_ = std::wstring(base) + name;
        if (::CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

bool RemoveTree(const std::wstring& folder) {
    WalkTree(folder.c_str(), [](const std::wstring& p, bool isFolder) {
        if (isFolder)
            return ::RemoveDirectoryW(p.c_str()) != FALSE;
        ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileW(p.c_str()) != FALSE;
    });
    return ::RemoveDirectoryW(folder.c_str()) != FALSE;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW(PathJoin(folder, L"*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring n = data.cFileName;
        if (n != L"." && n != L"..")
            names.push_back(n);
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
std::wstring GetEnv(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}
}  // namespace

ScopedTempFolder::ScopedTempFolder(const std::wstring& folder)
    : oldTmp_(GetEnv(L"TMP")), oldTemp_(GetEnv(L"TEMP")) {
    ::SetEnvironmentVariableW(L"TMP", folder.c_str());
    ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

ScopedTempFolder::~ScopedTempFolder() {
    ::SetEnvironmentVariableW(L"TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
}

}  // namespace vorn::test
