#include "installer/installsteps.h"

#include "installer/archiveextractor.h"
#include "installer/channelfile.h"
#include "installer/registryentries.h"
#include "installer/shortcuts.h"
#include "util/logger.h"

const char kExtractFailedEvent[] = "extract failed";
const wchar_t kExtractFailedMessage[] = L"解压客户端失败，请重新打开安装程序";

bool RunInstallationSteps(const std::wstring& package, const std::wstring& installDir,
                          HWND window) {
    const int extracted = ExtractArchive(package, installDir, window);
    if (extracted != EXTRACT_OK) {
        LOG_ERROR(L"Extract package Failed: %d", extracted);
        return false;
    }
    CreateShortcuts();
    // The registry comes last: its product key makes the next run take the
    // installation for complete, so everything else is done before it.
    ::DeleteFileW(package.c_str());
    InstallChannelFile();
    WriteRegistryEntries();
    return true;
}
