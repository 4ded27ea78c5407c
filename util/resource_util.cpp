#include "resource_util.h"

#include "win_handle.h"

namespace vorn {

bool LoadModuleResource(HMODULE module, const wchar_t* type, int id, ResourceBytes& out) {
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (info == nullptr)
        return false;
    const DWORD size = ::SizeofResource(module, info);
    if (size == 0)
        return false;
    HGLOBAL loaded = ::LoadResource(module, info);
    if (loaded == nullptr)
        return false;
    const void* data = ::LockResource(loaded);
    if (data == nullptr)
        return false;
    out.data = data;
    out.size = size;
    return true;
}

bool WriteBytesToFile(const wchar_t* path, const ResourceBytes& bytes, bool truncate) {
    UniqueHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.Get(), bytes.data, bytes.size, &written, nullptr);
    if (truncate)
        ::SetEndOfFile(file.Get());
    return ok && written == bytes.size;
}

}  // namespace vorn
