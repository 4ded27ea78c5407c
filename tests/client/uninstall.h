// The uninstaller's work, apart from its entry point: which folder it may act on,
// which files belong to the package, and removal that never leaves that folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorn::uninstall {

// Names the installer writes; kept here so that tests and the program agree.
extern const wchar_t kManifestName[];           // list of the package's files, in the package
extern const wchar_t kShortcutName[];           // appended to the desktop and Programs folders
extern const wchar_t kProductKey[];             // under HKEY_CURRENT_USER
extern const wchar_t kUninstallKey[];           // under HKEY_LOCAL_MACHINE
extern const wchar_t* const kInstallerFiles[];  // written beside the package's files
extern const size_t kInstallerFileCount;

// Full path with backslashes, long names where the path exists, no trailing
// separator except for a root. Empty when the path cannot be made absolute.
std::wstring NormalizeFolder(const std::wstring& path);
bool SameFolder(const std::wstring& a, const std::wstring& b);
// The folder part of a file path, quotes around it removed.
std::wstring FolderOfFile(std::wstring path);

enum class FolderVerdict { Ok, NotAbsolute, Root, SystemFolder };
// Whether folder may be an install folder to remove things from: not a root,
// not a system or user folder, nor one that holds such a folder.
FolderVerdict CheckFolder(const std::wstring& folder);

// Relative paths of files, one per line (UTF-8, "/" or "\"). False when any
// line could reach outside the folder or is otherwise not a plain relative path.
bool ParseManifest(const std::string& text, std::vector<std::wstring>* files);
bool IsPlainRelativePath(const std::wstring& rel);

enum class Removal { Removed, Missing, Skipped, Failed };
// Removes folder\rel when it is a file (or, for RemoveFolderInside, an empty
// folder) that really lies there: a link on the way or at the end is left alone.
Removal RemoveFileInside(const std::wstring& folder, const std::wstring& rel);
Removal RemoveFolderInside(const std::wstring& folder, const std::wstring& rel);

// Folders of the listed files, deepest first.
std::vector<std::wstring> FoldersOf(const std::vector<std::wstring>& files);

// The registry and shortcuts the installer wrote, removed only when they name
// folder. Each returns false when something that is ours stayed.
bool RemoveProductKey(const std::wstring& folder);
bool RemoveUninstallEntry(const std::wstring& folder);
bool RemoveShortcuts(const std::wstring& folder);

}  // namespace vorn::uninstall
