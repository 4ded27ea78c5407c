// Drive letters of the running Wine prefix, made the way Wine's own drive
// configuration makes them: through the mount manager, which links the letter
// to a Unix folder and records its drive type. Only for fresh prefixes.
#pragma once

#include <windows.h>

#include <string>

namespace vorn::test {

// Maps letter ('A'..'Z') to unixFolder as a drive of driveType (DRIVE_FIXED,
// DRIVE_REMOVABLE, DRIVE_REMOTE, DRIVE_CDROM); replaces an earlier mapping.
bool MapWineDrive(wchar_t letter, const std::string& unixFolder, UINT driveType);
// Removes the letter; true when it is gone.
bool UnmapWineDrive(wchar_t letter);

}  // namespace vorn::test
