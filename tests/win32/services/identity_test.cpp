// Machine identity: formatting from given bytes, the address rules over given
// adapter lists, the registry reader, and one look at the real adapter list.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "installer/installerreportdata.h"
#include "installer/machineidentity.h"
#include "support/test_support.h"
#include "util/string_util.h"
#include "util/win_handle.h"

using namespace vorn;

namespace {

// Adapters of a given type with given addresses, chained as GetAdaptersInfo does.
class AdapterList {
  public:
    void Add(UINT type, std::vector<const char*> addresses) {
        adapters_.push_back(IP_ADAPTER_INFO{});
        extra_.emplace_back(addresses.size() > 1 ? addresses.size() - 1 : 0);
        IP_ADAPTER_INFO& a = adapters_.back();
        a.Type = type;
        if (!addresses.empty())
            std::strcpy(a.IpAddressList.IpAddress.String, addresses[0]);
        for (size_t i = 1; i < addresses.size(); ++i) {
            std::strcpy(extra_.back()[i - 1].IpAddress.String, addresses[i]);
        }
    }
    const IP_ADAPTER_INFO* Chain() {
        for (size_t k = 0; k < adapters_.size(); ++k) {
            IP_ADDR_STRING* entry = &adapters_[k].IpAddressList;
            for (auto& next : extra_[k]) {
                entry->Next = &next;
                entry = &next;
            }
            adapters_[k].Next = k + 1 < adapters_.size() ? &adapters_[k + 1] : nullptr;
        }
        return adapters_.empty() ? nullptr : &adapters_[0];
    }

  private:
    std::vector<IP_ADAPTER_INFO> adapters_;
    std::vector<std::vector<IP_ADDR_STRING>> extra_;
};

}  // namespace

TEST(ReportMac, UpperCaseColonForm) {
    const uint8_t bytes[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    EXPECT_EQ(FormatReportMac(bytes), "00:1A:2B:3C:4D:5E");
    const uint8_t high[6] = {0xff, 0xab, 0x09, 0xc0, 0xde, 0xf1};
    EXPECT_EQ(FormatReportMac(high), "FF:AB:09:C0:DE:F1");
}

TEST(RunId, LayoutOfTheUuidFields) {
    UUID u;
    u.Data1 = 0x01234567;
    u.Data2 = 0x89ab;
    u.Data3 = 0xcdef;
    const unsigned char tail[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    std::memcpy(u.Data4, tail, 8);
    // Bytes 9 to 12 reversed; the last four appear nowhere.
    EXPECT_EQ(FormatRunId(u), L"01234567000089ab0000cdef44332211");

    std::wstring a, b;
    ASSERT_TRUE(MakeRunId(a));
    ASSERT_TRUE(MakeRunId(b));
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    EXPECT_EQ(a.substr(8, 4), L"0000");
    EXPECT_EQ(a.substr(16, 4), L"0000");
}

TEST(LocalAddresses, EthernetAndWirelessOnly) {
    AdapterList list;
    list.Add(MIB_IF_TYPE_LOOPBACK, {"127.0.0.1"});
    list.Add(MIB_IF_TYPE_PPP, {"10.8.0.6"});  // a VPN
    list.Add(MIB_IF_TYPE_ETHERNET, {"192.168.1.20", "0.0.0.0"});
    list.Add(71, {"10.1.2.3"});
    list.Add(MIB_IF_TYPE_ETHERNET, {"192.168.1.20", "127.0.0.1"});
    list.Add(MIB_IF_TYPE_ETHERNET, {"0.0.0.0"});
    const std::set<std::wstring> set = AddressesOfAdapters(list.Chain());
    EXPECT_EQ(set, (std::set<std::wstring>{L"10.1.2.3", L"192.168.1.20"}));
    EXPECT_EQ(*set.begin(), L"10.1.2.3");
}

TEST(LocalAddresses, OrderIsCharacterByCharacter) {
    AdapterList list;
    list.Add(MIB_IF_TYPE_ETHERNET, {"192.168.1.2", "172.16.0.1", "10.0.0.5", "9.1.1.1"});
    const std::set<std::wstring> set = AddressesOfAdapters(list.Chain());
    EXPECT_EQ(std::vector<std::wstring>(set.begin(), set.end()),
              (std::vector<std::wstring>{L"10.0.0.5", L"172.16.0.1", L"192.168.1.2", L"9.1.1.1"}));
}

TEST(LocalAddresses, LoopbackAndVpnOnlyGiveNothing) {
    AdapterList list;
    list.Add(MIB_IF_TYPE_LOOPBACK, {"127.0.0.1"});
    list.Add(MIB_IF_TYPE_PPP, {"10.8.0.6"});
    EXPECT_TRUE(AddressesOfAdapters(list.Chain()).empty());
    EXPECT_TRUE(AddressesOfAdapters(nullptr).empty());
}

// What Wine's IP Helper gives here: printed, and checked for the invariants.
TEST(LocalAddresses, RealAdapterList) {
    const std::set<std::wstring> set = CollectLocalAddresses();
    for (const auto& a : set) {
        std::printf("local address %ls\n", a.c_str());
        EXPECT_NE(a, L"127.0.0.1");
        EXPECT_NE(a, L"0.0.0.0");
    }
    // What Wine's IP Helper reports, for the record.
    ULONG size = 0;
    ::GetAdaptersInfo(nullptr, &size);
    std::vector<unsigned char> buffer(size + 512);
    size = static_cast<ULONG>(buffer.size());
    if (::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size) == NO_ERROR) {
        for (auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a; a = a->Next) {
            std::printf("adapter type %u address %s hw", a->Type,
                        a->IpAddressList.IpAddress.String);
            for (UINT i = 0; i < a->AddressLength; ++i)
                std::printf(" %02x", a->Address[i]);
            std::printf("\n");
        }
    }
    if (!set.empty()) {
        ULONG result[16] = {};
        ULONG length = sizeof(result);
        const DWORD rc =
            ::SendARP(::inet_addr(WideToAnsi(*set.begin()).c_str()), 0, result, &length);
        std::printf("SendARP %lu length %lu\n", rc, length);
    }
    const std::string mac = GetReportMac();
    std::printf("report mac [%s]\n", mac.c_str());
    if (!mac.empty()) {
        EXPECT_EQ(mac.size(), 17u);
        EXPECT_EQ(mac.find_first_not_of("0123456789ABCDEF:"), std::string::npos);
    }
    if (set.empty()) {
        EXPECT_EQ(mac, "");
    }
    const std::string expected = test::Arg("expect-address");
    if (!expected.empty()) {
        EXPECT_EQ(set.count(Utf8ToWide(expected)), 1u) << expected;
    }
    // The reporter keeps the same value.
    EXPECT_EQ(CInstallerReportData::Instance()->b_mac, mac);
}

class RegistryString : public testing::Test {
  protected:
    const wchar_t* kKey = L"Software\\VornTest\\Identity";
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.Receive(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VornTest");
    }
    void Set(const wchar_t* name, const std::wstring& text, bool terminator) {
        const DWORD bytes = static_cast<DWORD>((text.size() + (terminator ? 1 : 0)) * 2);
        ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()), bytes),
                  ERROR_SUCCESS);
    }
    UniqueRegKey key;
};

TEST_F(RegistryString, LengthLimits) {
    Set(L"v129", std::wstring(129, L'a'), true);
    Set(L"v130", std::wstring(130, L'b'), true);
    Set(L"v130raw", std::wstring(130, L'c'), false);
    Set(L"v129raw", std::wstring(129, L'd'), false);
    Set(L"cn", L"安装目录", true);
    std::wstring v = L"untouched";
    EXPECT_TRUE(ReadRegistryString(kKey, L"v129", v));
    EXPECT_EQ(v, std::wstring(129, L'a'));
    v = L"untouched";
    EXPECT_FALSE(ReadRegistryString(kKey, L"v130", v));
    EXPECT_EQ(v, L"untouched");
    // Fills the buffer with no terminator: counted as absent.
    EXPECT_FALSE(ReadRegistryString(kKey, L"v130raw", v));
    EXPECT_EQ(v, L"untouched");
    EXPECT_TRUE(ReadRegistryString(kKey, L"v129raw", v));
    EXPECT_EQ(v, std::wstring(129, L'd'));
    EXPECT_TRUE(ReadRegistryString(kKey, L"cn", v));
    EXPECT_EQ(v, L"安装目录");
    v = L"untouched";
    EXPECT_FALSE(ReadRegistryString(kKey, L"missing", v));
    EXPECT_FALSE(ReadRegistryString(L"Software\\VornTest\\Missing", L"v129", v));
    EXPECT_EQ(v, L"untouched");
}

TEST_F(RegistryString, TypeIsNotChecked) {
    const DWORD number = 0x00410042;  // "BA" as UTF-16
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"dw", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
    std::wstring v;
    EXPECT_TRUE(ReadRegistryString(kKey, L"dw", v));
    EXPECT_EQ(v, L"BA");
}
