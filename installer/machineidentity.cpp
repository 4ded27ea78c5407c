#include "installer/machineidentity.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

#include "util/string_util.h"
#include "util/win_handle.h"

namespace vorn {
namespace {

const UINT kAdapterTypeWireless = 71;  // IF_TYPE_IEEE80211

void AddAddresses(const IP_ADDR_STRING* entry, std::set<std::wstring>& out) {
    for (; entry != nullptr; entry = entry->Next) {
        const char* text = entry->IpAddress.String;
        const std::string address(text, strnlen(text, sizeof(entry->IpAddress.String)));
        if (!address.empty())
            out.insert(AnsiToWide(address));
    }
}

}  // namespace

std::set<std::wstring> AddressesOfAdapters(const IP_ADAPTER_INFO* first) {
    std::set<std::wstring> addresses;
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        if (adapter->Type != MIB_IF_TYPE_ETHERNET && adapter->Type != kAdapterTypeWireless) {
            continue;
        }
        AddAddresses(&adapter->IpAddressList, addresses);
    }
    addresses.erase(L"0.0.0.0");
    addresses.erase(L"127.0.0.1");
    return addresses;
}

std::set<std::wstring> CollectLocalAddresses() {
    ULONG size = 0;
    const DWORD probe = ::GetAdaptersInfo(nullptr, &size);
    if (probe != ERROR_BUFFER_OVERFLOW && probe != ERROR_INVALID_PARAMETER)
        return {};
    // Some room for an adapter that appears between the two calls.
    size += 512;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]());
    if (!buffer)
        return {};
    auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get());
    if (::GetAdaptersInfo(list, &size) != NO_ERROR)
        return {};
    return AddressesOfAdapters(list);
}

std::string FormatReportMac(const uint8_t (&bytes)[6]) {
    char text[32];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'f')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
    return text;
}

std::string GetReportMac() {
    const std::set<std::wstring> addresses = CollectLocalAddresses();
    if (addresses.empty())
        return std::string();
    const std::string first = WideToAnsi(*addresses.begin());
    const unsigned long destination = ::inet_addr(first.c_str());
    if (destination == INADDR_NONE)
        return std::string();
    ULONG result[16] = {};  // 64 bytes
    ULONG length = sizeof(result);
    if (::SendARP(static_cast<IPAddr>(destination), 0, result, &length) != NO_ERROR) {
        return std::string();
    }
    uint8_t mac[6];
    std::memcpy(mac, result, sizeof(mac));
    return FormatReportMac(mac);
}

std::wstring FormatRunId(const UUID& uuid) {
    // Bytes 9 to 12 of the UUID as a little-endian number; the last four are left out.
    const uint32_t tail =
        static_cast<uint32_t>(uuid.Data4[0]) | static_cast<uint32_t>(uuid.Data4[1]) << 8 |
        static_cast<uint32_t>(uuid.Data4[2]) << 16 | static_cast<uint32_t>(uuid.Data4[3]) << 24;
    wchar_t text[40];
    std::swprintf(text, 40, L"%08x%08x%08x%08x", static_cast<unsigned>(uuid.Data1),
                  static_cast<unsigned>(uuid.Data2), static_cast<unsigned>(uuid.Data3),
                  static_cast<unsigned>(tail));
    return text;
}

bool MakeRunId(std::wstring& out) {
    UUID uuid;
    if (::UuidCreate(&uuid) != RPC_S_OK) {
        out.clear();
        return false;
    }
    out = FormatRunId(uuid);
    return true;
}

bool ReadRegistryString(const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& value) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    const DWORD kChars = 130;
    wchar_t buffer[kChars] = {};
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return false;
    }
    // 130 characters stored without a terminator fill the buffer: no text
    // of known end, so the value counts as absent.
    const size_t length = wcsnlen(buffer, kChars);
    if (length == kChars)
        return false;
    value.assign(buffer, length);
    return true;
}

}  // namespace vorn
