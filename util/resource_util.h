// Reading resources of the executable as bytes.
#pragma once

#include <windows.h>

namespace vorn {

struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

// Finds, loads and locks the resource; false when any step fails or it is empty.
// The bytes stay valid as long as the module is loaded.
bool LoadModuleResource(HMODULE module, const wchar_t* type, int id, ResourceBytes& out);

// Creates (or opens) path with no sharing and writes the bytes in one call.
// truncate: the file ends up equal to the bytes; otherwise a longer old file keeps its tail.
bool WriteBytesToFile(const wchar_t* path, const ResourceBytes& bytes, bool truncate);

}  // namespace vorn
