#include "installer/channelfile.h"

#include <windows.h>

#include "installer/resource.h"
#include "installer/uihelp.h"
#include "util/path_util.h"
#include "util/resource_util.h"

bool InstallChannelFile() {
    vorn::ResourceBytes bytes;
    if (!vorn::LoadModuleResource(::GetModuleHandleW(nullptr), L"DATA", IDR_CHANNEL_FILE, bytes)) {
        return false;
    }
    const std::wstring path = vorn::PathJoin(CUIHelp::Instance()->installDir, L"ZizUdir.dat");
    ::DeleteFileW(path.c_str());
    return vorn::WriteBytesToFile(path.c_str(), bytes, /*truncate=*/true);
}
