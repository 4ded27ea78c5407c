// Entry point of VeltoInstaller.exe.
#include <windows.h>
#include <objbase.h>

#include "installer/startup.h"
#include "installer/windowsequence.h"
#include "util/logger.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    vorn::RestrictDllSearchPath();

    // Lives until the process ends; only the COM failure closes it early.
    vorn::UniqueHandle instanceMutex;
    if (!vorn::AcquireSingleInstance(instanceMutex))
        return 0;

    vorn::ConfigureInstallerLog();
    vorn::EnableDebugPrivilege();
    vorn::WriteEmbeddedDataFiles(instance);

    if (FAILED(::CoInitialize(nullptr)))
        return -1;

    RunWindowSequence(instance, commandLine);
    instanceMutex.Release();  // held until exit, as the system closes it
    return 0;
}
