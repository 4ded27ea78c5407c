// The client's shortcuts in the user's Start-menu Programs folder and on the desktop.
#pragma once

#include <string>

// "\Velto加速器.lnk" in both folders, to the client of the install context with
// the install folder as working folder. Initialises COM on the calling thread
// for its own duration.
void CreateShortcuts();

// The same for a given target; true when both shortcuts were saved.
bool CreateShortcuts(const std::wstring& target, const std::wstring& workingFolder);

// Where the shortcut goes in a special folder (CSIDL_PROGRAMS, CSIDL_DESKTOP);
// empty when the folder is unknown.
std::wstring ShortcutPath(int csidl);
