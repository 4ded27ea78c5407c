// The first steps of the entry point, before any window exists.
#pragma once

#include <windows.h>

#include "util/win_handle.h"

namespace vorn {

extern const wchar_t kInstanceMutexName[];

// Keeps DLLs out of the executable's own folder (an elevated installer run from
// a downloads folder must not pick up a planted DLL).
void RestrictDllSearchPath();

// Creates the single-instance mutex. False when another installer holds it;
// the user has then been told so.
bool AcquireSingleInstance(UniqueHandle& mutex);

// Best effort; every failure is ignored.
void EnableDebugPrivilege();

// Writes "cacert.pem" (104) and "ZizUdir.dat" (152) into the temporary folder.
void WriteEmbeddedDataFiles(HMODULE module);

}  // namespace vorn
