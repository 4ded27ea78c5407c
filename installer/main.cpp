// Entry point of VeltoInstaller.exe.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>

#include "installer/startup.h"
#include "installer/windowsequence.h"
#include "util/logger.h"

// The runtime's default handler writes the demangled type of an uncaught
// exception to stderr, which a GUI process does not have, and links a
// demangler (50 KB) for it. Ending the same way without the text:
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

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
