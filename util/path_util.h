// Path, folder and module-location helpers. Backslash and slash both count as
// separators when a path is read; only backslashes are ever inserted.
#pragma once

#include <functional>
#include <string>

namespace vorn {

// Joins with exactly one separator between the parts; a null part counts as absent.
std::wstring PathJoin(const wchar_t* first, const wchar_t* second);
std::wstring PathJoin(const std::wstring& first, const std::wstring& second);
std::string PathJoinA(const char* first, const char* second);

// The path without its trailing separators and its last component; empty when
// no separator is left.
std::wstring ParentFolder(const std::wstring& path);

// Visits every entry below folder depth first, a folder's contents before the
// folder itself. Stops at the first failure or at the first visitor returning false.
using TreeVisitor = std::function<bool(const std::wstring& path, bool isFolder)>;
bool WalkTree(const wchar_t* folder, const TreeVisitor& visitor);

// Full path of the running executable; false (out untouched) when it cannot be read in full.
bool GetModulePath(std::wstring& out);
// Folder of the running executable in the ANSI code page, without a trailing backslash.
bool GetModuleFolderA(std::string& out);

bool IsRegularFile(const std::wstring& path);
// Narrow paths are read in the ANSI code page; one that cannot be converted is no file.
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::wstring& path);

// Creates one folder; false when it already exists or cannot be created.
bool MakeDirectory(const std::wstring& path);
// Creates the folder and its missing parents; false for an empty path, an
// existing folder, or a failure.
bool MakeDirectories(const std::wstring& path);

}  // namespace vorn
