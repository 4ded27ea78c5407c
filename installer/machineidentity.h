// What tells the reporting machine and run apart: a MAC address found through
// an ARP query for the machine's own address, and an identifier made from a
// fresh UUID. Also the registry reader of the environment check.
#pragma once

// winsock2 before windows.h, as the IP Helper headers want it.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <rpc.h>

#include <cstdint>
#include <set>
#include <string>

namespace vorn {

// The IPv4 addresses of the Ethernet and wireless adapters, without
// "0.0.0.0" and "127.0.0.1"; empty when the adapter list cannot be read.
std::set<std::wstring> CollectLocalAddresses();
// The same rules over a given adapter chain (null: empty).
std::set<std::wstring> AddressesOfAdapters(const IP_ADAPTER_INFO* first);

// "00:1A:2B:3C:4D:5E" for the first local address, or empty.
std::string GetReportMac();
// Six bytes as upper-case hexadecimal pairs joined by colons.
std::string FormatReportMac(const uint8_t (&bytes)[6]);

// 32 lower-case hexadecimal digits from a new UUID; false (and empty) when
// the system cannot make a globally unique one.
bool MakeRunId(std::wstring& out);
std::wstring FormatRunId(const UUID& uuid);

// A value under HKEY_CURRENT_USER, read into 260 zeroed bytes. False (value
// untouched) when the key or value is missing, or the data fill the buffer
// without a terminating zero.
bool ReadRegistryString(const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& value);

}  // namespace vorn
