// The installation phase of the progress worker after the package has passed
// its CRC check, up to the completion window.
#pragma once

#include <windows.h>

#include <string>

// What the worker reports and shows when the package cannot be unpacked:
// event 4, result 0, source 0.
extern const char kExtractFailedEvent[];
extern const wchar_t kExtractFailedMessage[];

// Unpacks package into installDir (progress to window with WM_INSTALL_PROGRESS),
// then writes the shortcuts, deletes the package, writes the channel file copy
// and last the registry entries. False when the package could not be unpacked:
// then nothing after the extraction has been done, and the caller must not go
// on to the completion window or the client's start.
bool RunInstallationSteps(const std::wstring& package, const std::wstring& installDir, HWND window);
