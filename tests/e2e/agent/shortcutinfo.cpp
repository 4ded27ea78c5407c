#include "agent/shortcutinfo.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "installer/comscope.h"

namespace e2e {

bool ReadShortcut(const std::wstring& path, ShortcutInfo& out) {
    vorn::ComApartment com;
    vorn::ComPtr<IShellLinkW> link;
    vorn::ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid())) ||
        FAILED(link.As(file)) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return false;
    wchar_t buffer[MAX_PATH * 2] = {};
    if (FAILED(link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
        return false;
    out.target = buffer;
    buffer[0] = L'\0';
    link->GetWorkingDirectory(buffer, MAX_PATH * 2);
    out.cwd = buffer;
    buffer[0] = L'\0';
    link->GetArguments(buffer, MAX_PATH * 2);
    out.args = buffer;
    return true;
}

}  // namespace e2e
