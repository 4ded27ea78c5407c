#include "agent/snapshot.h"

#include <cstdio>
#include <fstream>

#include "util/string_util.h"
#include "util/win_handle.h"

namespace e2e {
namespace {

std::string Hex(const BYTE* data, DWORD size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (DWORD i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

void DumpValues(HKEY key, const std::string& path, std::ofstream& out) {
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(64 * 1024);
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD dataLen = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc =
            ::RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        if (rc == ERROR_MORE_DATA) {
            data.resize(dataLen + 2);
            nameLen = static_cast<DWORD>(name.size());
            dataLen = static_cast<DWORD>(data.size());
            rc = ::RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(),
                                 &dataLen);
        }
        if (rc != ERROR_SUCCESS)
            break;
        out << "V\t" << path << "\t" << vorn::WideToUtf8(std::wstring(name.data(), nameLen)) << "\t"
            << type << "\t" << Hex(data.data(), dataLen) << "\n";
    }
}

void DumpKey(HKEY key, const std::wstring& path, std::ofstream& out) {
    const std::string narrow = vorn::WideToUtf8(path);
    out << "K\t" << narrow << "\n";
    DumpValues(key, narrow, out);
    std::vector<wchar_t> name(512);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring child(name.data(), len);
        vorn::UniqueRegKey sub;
        if (::RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, sub.Receive()) == ERROR_SUCCESS)
            DumpKey(sub.Get(), path + L"\\" + child, out);
    }
}

void Walk(const std::wstring& folder, FileTree& tree) {
    WIN32_FIND_DATAW data;
    vorn::UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FileEntry e;
        e.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        e.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
        if (e.folder)
            e.size = 0;
        const std::wstring path = folder + name;
        tree[path] = e;
        if (e.folder && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            Walk(path + L"\\", tree);
    } while (::FindNextFileW(find.Get(), &data));
}

}  // namespace

bool DumpRegistry(const std::wstring& outFile) {
    std::ofstream out(outFile.c_str(), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    DumpKey(HKEY_CURRENT_USER, L"HKCU", out);
    DumpKey(HKEY_LOCAL_MACHINE, L"HKLM", out);
    return static_cast<bool>(out);
}

FileTree SnapshotFiles(const std::vector<std::wstring>& roots) {
    FileTree tree;
    for (const auto& root : roots)
        Walk(root, tree);
    return tree;
}

std::vector<FileChange> DiffFiles(const FileTree& before, const FileTree& after) {
    std::vector<FileChange> changes;
    for (const auto& [path, entry] : after) {
        auto old = before.find(path);
        if (old == before.end()) {
            changes.push_back({path, L"added", entry});
        } else if (!entry.folder && (old->second.folder || old->second.size != entry.size ||
                                     old->second.written != entry.written)) {
            changes.push_back({path, L"changed", entry});
        }
    }
    for (const auto& [path, entry] : before) {
        if (after.count(path) == 0)
            changes.push_back({path, L"removed", entry});
    }
    return changes;
}

}  // namespace e2e
