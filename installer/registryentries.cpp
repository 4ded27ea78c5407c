#include "installer/registryentries.h"

#include <utility>
#include <vector>

#include "installer/httpinstallinfo.h"
#include "installer/uihelp.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/win_handle.h"

const wchar_t kProductKey[] = L"Software\\Corlanth\\Vorn";
const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}";

namespace {

using NamedValue = std::pair<const wchar_t*, std::wstring>;

// Writes in order and stops at the first failure.
bool WriteValues(HKEY key, const std::vector<NamedValue>& values, const RegistryValueSetter& set) {
    for (const NamedValue& v : values) {
        if (set(key, v.first, v.second) != ERROR_SUCCESS) {
            LOG_ERROR(L"RegSetValueEx Failed: %s", v.first);
            return false;
        }
    }
    return true;
}

}  // namespace

LSTATUS SetStringValue(HKEY key, const wchar_t* name, const std::wstring& data) {
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            bytes);
}

bool WriteRegistryEntries(HKEY userRoot, HKEY machineRoot, const RegistryRecord& record,
                          const RegistryValueSetter& set) {
    // The product key is what the environment check takes for an installation:
    // it comes last, so that an installer stopped at any moment before it is
    // run again in full instead of finding an installation without its
    // uninstall entry.
    bool uninstallWritten = true;
    vorn::UniqueRegKey uninstall;
    if (::RegCreateKeyW(machineRoot, kUninstallKey, uninstall.Receive()) == ERROR_SUCCESS) {
        const std::wstring uninstaller = vorn::PathJoin(record.installDir, L"Uninstaller.exe");
        const std::vector<NamedValue> values = {
            {L"DisplayName", L"Velto加速器"},
            {L"InstallSource", record.installerPath},
            {L"DisplayVersion", record.clientVersion},
            {L"InstallLocation", vorn::PathJoin(record.installDir, L"vorn.exe")},
            {L"ModifyPath", uninstaller},
            {L"UninstallString", uninstaller},
            {L"DisplayIcon", uninstaller},
            {L"Publisher", L"Corlanth科技股份有限公司"},
        };
        uninstallWritten = WriteValues(uninstall.Get(), values, set);
        uninstall.Reset();
    } else {
        LOG_ERROR(L"RegCreateKey Failed: uninstall entry");
    }

    vorn::UniqueRegKey product;
    if (::RegCreateKeyW(userRoot, kProductKey, product.Receive()) != ERROR_SUCCESS) {
        LOG_ERROR(L"RegCreateKey Failed: product key");
        return uninstallWritten;
    }
    const std::vector<NamedValue> values = {
        {L"installDir", record.installDir},
        {L"Start", record.exeName},
        {L"Version", record.clientVersion},
    };
    return WriteValues(product.Get(), values, set) && uninstallWritten;
}

bool WriteRegistryEntries() {
    RegistryRecord record;
    record.installDir = CUIHelp::Instance()->installDir;
    record.exeName = CUIHelp::Instance()->exeName;
    record.clientVersion = HttpInstallInfo::Instance()->clientVersion;
    vorn::GetModulePath(record.installerPath);
    return WriteRegistryEntries(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, record);
}
