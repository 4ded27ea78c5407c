// The product's install record under HKEY_CURRENT_USER, which the environment
// check reads back, and the uninstall entry under HKEY_LOCAL_MACHINE.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

extern const wchar_t kProductKey[];
extern const wchar_t kUninstallKey[];

struct RegistryRecord {
    std::wstring installDir;  // with its trailing backslash
    std::wstring exeName;
    std::wstring clientVersion;
    std::wstring installerPath;  // empty when it cannot be read in full
};

// Writes one REG_SZ value, its size counting the terminating NUL.
using RegistryValueSetter =
    std::function<LSTATUS(HKEY key, const wchar_t* name, const std::wstring& data)>;
LSTATUS SetStringValue(HKEY key, const wchar_t* name, const std::wstring& data);

// From the install context and the client-version answer: the uninstall entry,
// then the product key, the last thing an installation writes. False when a
// value could not be written: the values of its key after it are not written
// (the product key is written all the same after a failed uninstall value). A
// machine key that cannot be opened (no administrator rights) still counts as
// done.
bool WriteRegistryEntries();

// The same below the given roots, writing through set.
bool WriteRegistryEntries(HKEY userRoot, HKEY machineRoot, const RegistryRecord& record,
                          const RegistryValueSetter& set = SetStringValue);
