// What a shortcut file says, read through the shell's own IShellLinkW.
#pragma once

#include <string>

namespace e2e {

struct ShortcutInfo {
    std::wstring target;
    std::wstring cwd;
    std::wstring args;
};

// False when the file is not a shortcut the shell can load.
bool ReadShortcut(const std::wstring& path, ShortcutInfo& out);

}  // namespace e2e
