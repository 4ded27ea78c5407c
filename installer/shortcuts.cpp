#include "installer/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "util/com_scope.h"
#include "installer/uihelp.h"
#include "util/logger.h"

namespace {

const wchar_t kShortcutName[] = L"\\Velto加速器.lnk";

}  // namespace

std::wstring ShortcutPath(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE))
        return std::wstring();
    return std::wstring(folder) + kShortcutName;
}

bool CreateShortcuts(const std::wstring& target, const std::wstring& workingFolder) {
    vorn::ComApartment com;
    if (!com.Ok()) {
        LOG_ERROR(L"CoInitialize Failed");
        return false;
    }
    vorn::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid()))) {
        LOG_ERROR(L"Create ShellLink Failed");
        return false;
    }
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    vorn::ComPtr<IPersistFile> file;
    if (FAILED(link.As(file))) {
        LOG_ERROR(L"Query IPersistFile Failed");
        return false;
    }
    bool saved = true;
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOP}) {
        const std::wstring path = ShortcutPath(csidl);
        if (path.empty() || FAILED(file->Save(path.c_str(), TRUE))) {
            LOG_ERROR(L"Save shortcut Failed: %d", csidl);
            saved = false;
        }
    }
    return saved;
}

void CreateShortcuts() {
    const CUIHelp* context = CUIHelp::Instance();
    // The client is the folder followed directly by the executable's name.
    CreateShortcuts(context->installDir + context->exeName, context->installDir);
}
