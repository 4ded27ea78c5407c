// Machine state as the agent sees it through the Windows API: the registry
// hives HKCU and HKLM, and the files and folders of some drives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// Every key and value of HKCU and HKLM, one a line, UTF-8:
//   K <tab> HKCU\path
//   V <tab> HKCU\path <tab> name <tab> type number <tab> data as hex
// Keys that cannot be opened are skipped. False when the file cannot be written.
bool DumpRegistry(const std::wstring& outFile);

struct FileEntry {
    bool folder = false;
    uint64_t size = 0;
    uint64_t written = 0;  // last write time, FILETIME units
};

using FileTree = std::map<std::wstring, FileEntry>;

// Every file and folder below the roots ("C:\", "D:\"); reparse points are
// listed but not entered.
FileTree SnapshotFiles(const std::vector<std::wstring>& roots);

struct FileChange {
    std::wstring path;
    std::wstring kind;  // "added", "removed", "changed"
    FileEntry entry;    // after the run; before it for "removed"
};

std::vector<FileChange> DiffFiles(const FileTree& before, const FileTree& after);

}  // namespace e2e
