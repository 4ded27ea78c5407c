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
    const std::string cipherPath = narrowTemp + "\\ZizUdir.dat";
    const std::string plainPath = narrowTemp + "\\ZizUdir.ini";
    vorn::DesDecryptFile(cipherPath.c_str(), reinterpret_cast<const uint8_t*>(VORN_CHANNEL_KEY),
                         plainPath.c_str());

    const std::wstring iniPath = std::wstring(temp) + L"ZizUdir.ini";
    wchar_t value[MAX_PATH] = {};
    ::GetPrivateProfileStringW(L"Public", L"channel", L"", value, MAX_PATH, iniPath.c_str());
    return value;
}
