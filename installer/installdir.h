// The install folder before the download: its folders created, and an old
// package ("tmpClient") cleared away.
#pragma once

#include <windows.h>

#include <string>

// Tests each folder of path from its root down and creates the missing ones;
// true when every folder exists afterwards.
bool PrepareInstallDir(std::wstring path);

// The package's path in the install folder.
std::wstring PackagePath(const std::wstring& installDir);

// Removes a package left at path: a file, or a folder with everything below it.
void ClearPackagePath(const std::wstring& path);

namespace vorn {

// Removes path and everything below it. A junction or symbolic link is removed
// itself and never walked into, so nothing outside the tree is touched. True
// when nothing is left at path.
bool DeleteTree(const std::wstring& path);

// One entry of that walk, as the folder listing describes it (attributes).
bool RemoveTreeEntry(const std::wstring& path, DWORD attributes);

}  // namespace vorn
