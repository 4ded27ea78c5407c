#include <gtest/gtest.h>

#include <vector>

#include "installer/httpinstallinfo.h"
#include "installer/registryentries.h"
#include "installer/uihelp.h"
#include "util/path_util.h"
#include "util/win_handle.h"

using namespace vorn;

namespace {

struct Value {
    std::wstring name;
    DWORD type = 0;
    std::wstring data;
    DWORD bytes = 0;
};

// The values of a key as RegEnumValueW lists them.
std::vector<Value> ReadValues(HKEY root, const wchar_t* path) {
    std::vector<Value> out;
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[4096] = {};
        DWORD bytes = sizeof(data) - 2;
        Value v;
        if (::RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &v.type, data, &bytes) !=
            ERROR_SUCCESS)
            break;
        v.name.assign(name, nameLength);
        v.bytes = bytes;
        v.data = reinterpret_cast<const wchar_t*>(data);
        out.push_back(v);
    }
    return out;
}

const Value* Find(const std::vector<Value>& values, const std::wstring& name) {
    for (const Value& v : values) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

// A private root below HKEY_CURRENT_USER, removed afterwards.
class ScratchKey {
  public:
    explicit ScratchKey(const wchar_t* name) : name_(name) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, name_);
        ::RegCreateKeyW(HKEY_CURRENT_USER, name_, key_.Receive());
    }
    ~ScratchKey() {
        key_.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, name_);
    }
    HKEY Get() const { return key_.Get(); }

  private:
    const wchar_t* name_;
    UniqueRegKey key_;
};

RegistryRecord Record() {
    RegistryRecord r;
    r.installDir = L"D:\\Games\\Vorn\\";
    r.exeName = L"vorn_client.exe";
    r.clientVersion = L"3.2.1";
    r.installerPath = L"C:\\Downloads\\VeltoInstaller.exe";
    return r;
}

}  // namespace

TEST(WriteRegistryEntries, ProductKeyAndUninstallEntryFromTheRunsState) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    {
        UniqueRegKey other;
        ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, kProductKey, other.Receive()), ERROR_SUCCESS);
        ASSERT_EQ(SetStringValue(other.Get(), L"Other", L"kept"), ERROR_SUCCESS);
    }
    CUIHelp::Instance()->installDir = L"C:\\Program Files\\Vorn\\";
    CUIHelp::Instance()->exeName = L"vorn.exe";
    HttpInstallInfo::Instance()->clientVersion = L"1.0.7";
    ASSERT_TRUE(WriteRegistryEntries());

    const auto product = ReadValues(HKEY_CURRENT_USER, kProductKey);
    ASSERT_EQ(product.size(), 4u);
    ASSERT_NE(Find(product, L"Other"), nullptr);
    EXPECT_EQ(Find(product, L"installDir")->data, L"C:\\Program Files\\Vorn\\");
    EXPECT_EQ(Find(product, L"Start")->data, L"vorn.exe");
    EXPECT_EQ(Find(product, L"Version")->data, L"1.0.7");
    for (const Value& v : product) {
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(v.bytes, (v.data.size() + 1) * 2);  // the NUL is counted
    }

    std::wstring self;
    ASSERT_TRUE(GetModulePath(self));
    const auto uninstall = ReadValues(HKEY_LOCAL_MACHINE, kUninstallKey);
    ASSERT_EQ(uninstall.size(), 8u);
    EXPECT_EQ(Find(uninstall, L"DisplayName")->data, L"Velto加速器");
    EXPECT_EQ(Find(uninstall, L"InstallSource")->data, self);
    EXPECT_EQ(Find(uninstall, L"DisplayVersion")->data, L"1.0.7");
    EXPECT_EQ(Find(uninstall, L"InstallLocation")->data, L"C:\\Program Files\\Vorn\\vorn.exe");
    EXPECT_EQ(Find(uninstall, L"ModifyPath")->data, L"C:\\Program Files\\Vorn\\Uninstaller.exe");
    EXPECT_EQ(Find(uninstall, L"UninstallString")->data,
              L"C:\\Program Files\\Vorn\\Uninstaller.exe");
    EXPECT_EQ(Find(uninstall, L"DisplayIcon")->data, L"C:\\Program Files\\Vorn\\Uninstaller.exe");
    EXPECT_EQ(Find(uninstall, L"Publisher")->data, L"Corlanth科技股份有限公司");
    for (const Value& v : uninstall) {
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(v.bytes, (v.data.size() + 1) * 2);
    }
}

TEST(WriteRegistryEntries, WritesInTheFixedOrderAndJoinsPathsWithOneBackslash) {
    ScratchKey user(L"Software\\VornTest\\User");
    ScratchKey machine(L"Software\\VornTest\\Machine");
    std::vector<std::wstring> order;
    RegistryRecord record = Record();
    record.installDir = L"D:\\Games\\Vorn";  // no trailing backslash: the join adds one
    ASSERT_TRUE(WriteRegistryEntries(user.Get(), machine.Get(), record,
                                     [&](HKEY key, const wchar_t* name, const std::wstring& data) {
                                         order.push_back(name);
                                         return SetStringValue(key, name, data);
                                     }));
    // The product key, which the check takes for an installation, comes last.
    EXPECT_EQ(order, (std::vector<std::wstring>{L"DisplayName", L"InstallSource", L"DisplayVersion",
                                                L"InstallLocation", L"ModifyPath",
                                                L"UninstallString", L"DisplayIcon", L"Publisher",
                                                L"installDir", L"Start", L"Version"}));
    const auto uninstall = ReadValues(machine.Get(), kUninstallKey);
    EXPECT_EQ(Find(uninstall, L"InstallLocation")->data, L"D:\\Games\\Vorn\\vorn.exe");
    EXPECT_EQ(Find(uninstall, L"UninstallString")->data, L"D:\\Games\\Vorn\\Uninstaller.exe");
    EXPECT_EQ(Find(uninstall, L"InstallSource")->data, L"C:\\Downloads\\VeltoInstaller.exe");
    EXPECT_EQ(Find(ReadValues(user.Get(), kProductKey), L"installDir")->data, L"D:\\Games\\Vorn");
}

TEST(WriteRegistryEntries, AFailedWriteStopsTheRestOfItsKey) {
    ScratchKey user(L"Software\\VornTest\\User");
    ScratchKey machine(L"Software\\VornTest\\Machine");
    const auto failOn = [](const wchar_t* which) {
        return [which](HKEY key, const wchar_t* name, const std::wstring& data) -> LSTATUS {
            if (std::wstring(name) == which)
                return ERROR_ACCESS_DENIED;
            return SetStringValue(key, name, data);
        };
    };
    EXPECT_FALSE(WriteRegistryEntries(user.Get(), machine.Get(), Record(), failOn(L"Start")));
    const auto product = ReadValues(user.Get(), kProductKey);
    ASSERT_EQ(product.size(), 1u);
    EXPECT_EQ(product[0].name, L"installDir");
    EXPECT_EQ(ReadValues(machine.Get(), kUninstallKey).size(), 8u);

    ::RegDeleteTreeW(user.Get(), kProductKey);
    ::RegDeleteTreeW(machine.Get(), kUninstallKey);
    // The product key follows a failed uninstall value all the same.
    EXPECT_FALSE(
        WriteRegistryEntries(user.Get(), machine.Get(), Record(), failOn(L"DisplayVersion")));
    EXPECT_EQ(ReadValues(machine.Get(), kUninstallKey).size(), 2u);
    EXPECT_EQ(ReadValues(user.Get(), kProductKey).size(), 3u);
}

TEST(WriteRegistryEntries, WithoutTheMachineKeyTheStepStillCountsAsDone) {
    ScratchKey user(L"Software\\VornTest\\User");
    ScratchKey machine(L"Software\\VornTest\\Machine");
    // A root that no key can be created below: it has been deleted. (Wine does
    // not refuse creation below a handle opened for reading only.)
    UniqueRegKey gone;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\VornTest\\Gone", gone.Receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VornTest\\Gone"), ERROR_SUCCESS);
    UniqueRegKey probe;
    ASSERT_NE(::RegCreateKeyW(gone.Get(), L"x", probe.Receive()), ERROR_SUCCESS);

    EXPECT_TRUE(WriteRegistryEntries(user.Get(), gone.Get(), Record()));
    EXPECT_EQ(ReadValues(user.Get(), kProductKey).size(), 3u);

    // no product key either: the uninstall entry is written all the same
    ::RegDeleteTreeW(user.Get(), kProductKey);
    EXPECT_TRUE(WriteRegistryEntries(gone.Get(), machine.Get(), Record()));
    EXPECT_TRUE(ReadValues(user.Get(), kProductKey).empty());
    EXPECT_EQ(ReadValues(machine.Get(), kUninstallKey).size(), 8u);
}
