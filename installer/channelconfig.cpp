// Reading the channel from the channel file in the temporary folder.
#include <windows.h>

#include "installer/buildconfig.h"
#include "installer/channelcipher.h"
#include "installer/httpinstallinfo.h"
#include "util/string_util.h"

std::wstring HttpInstallInfo::ReadChannelConfig() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::string narrowTemp = vorn::WideToChs(temp);
    // Paths formed in code page 936 are opened as 936 text: the C runtime would
    // read them in the ANSI code page, which is 936 only on Chinese systems.
    const std::wstring cipherPath = vorn::ChsToWide(narrowTemp + "\\ZizUdir.dat");
    const std::wstring plainPath = vorn::ChsToWide(narrowTemp + "\\ZizUdir.ini");
    vorn::DesDecryptFile(cipherPath, reinterpret_cast<const uint8_t*>(VORN_CHANNEL_KEY), plainPath);

    const std::wstring iniPath = std::wstring(temp) + L"ZizUdir.ini";
    wchar_t value[MAX_PATH] = {};
    ::GetPrivateProfileStringW(L"Public", L"channel", L"", value, MAX_PATH, iniPath.c_str());
    return value;
}
