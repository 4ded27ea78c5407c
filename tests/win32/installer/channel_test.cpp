#include <gtest/gtest.h>

#include "installer/channelcipher.h"
#include "installer/channelfile.h"
#include "installer/httpinstallinfo.h"
#include "installer/uihelp.h"
#include "support/test_support.h"
#include "util/resource_util.h"
#include "util/string_util.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

const uint8_t* Key() {
    return reinterpret_cast<const uint8_t*>("morvek37");
}

std::string Encipher(const std::string& plain) {
    std::vector<uint8_t> cipher;
    std::string error;
    EXPECT_TRUE(
        EncryptChannelData(std::vector<uint8_t>(plain.begin(), plain.end()), Key(), cipher, error));
    return std::string(cipher.begin(), cipher.end());
}

}  // namespace

TEST(ReadChannelConfig, ReadsChannelOfSectionPublic) {
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());
    ASSERT_TRUE(
        test::WriteBytes(temp.File(L"ZizUdir.dat"),
                         Encipher("[Other]\r\nchannel=no\r\n[Public]\r\nchannel=vx_017\r\n")));
    EXPECT_EQ(HttpInstallInfo::Instance()->ReadChannelConfig(), L"vx_017");
    // the plain file stays beside the cipher file
    EXPECT_EQ(test::ReadBytes(temp.File(L"ZizUdir.ini")),
              "[Other]\r\nchannel=no\r\n[Public]\r\nchannel=vx_017\r\n");
}

TEST(ReadChannelConfig, EmptyWithoutTheKeyOrTheFile) {
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());
    ASSERT_TRUE(test::WriteBytes(temp.File(L"ZizUdir.dat"), Encipher("[Public]\r\nother=1\r\n")));
    EXPECT_EQ(HttpInstallInfo::Instance()->ReadChannelConfig(), L"");

    TempDir none;
    test::ScopedTempFolder scoped2(none.Path());
    EXPECT_EQ(HttpInstallInfo::Instance()->ReadChannelConfig(), L"");
    EXPECT_FALSE(test::FileExists(none.File(L"ZizUdir.ini")));
}

// The channel file's paths are formed in code page 936, whatever the system's
// ANSI code page: a temporary folder 936 can name works under every one, one it
// cannot name gives no channel.
TEST(ReadChannelConfig, TemporaryFolderNamedIn936) {
    const struct {
        const wchar_t* folder;
        const wchar_t* channel;
    } cases[] = {{L"临时", L"vx_017"}, {L"\u0E01\u0E02", L""}};
    for (const auto& c : cases) {
        TempDir parent;
        const std::wstring folder = parent.File(c.folder) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << "ACP " << ::GetACP();
        test::ScopedTempFolder scoped(folder);
        ASSERT_TRUE(
            test::WriteBytes(folder + L"ZizUdir.dat", Encipher("[Public]\r\nchannel=vx_017\r\n")));
        EXPECT_EQ(HttpInstallInfo::Instance()->ReadChannelConfig(), c.channel)
            << "ACP " << ::GetACP();
        EXPECT_EQ(test::FileExists(folder + L"ZizUdir.ini"), *c.channel != L'\0');
    }
}

TEST(ReadChannelConfig, EmbeddedChannelFileDeciphersToTheBuildsChannel) {
    ResourceBytes bytes;
    ASSERT_TRUE(LoadModuleResource(::GetModuleHandleW(nullptr), L"DATA", 152, bytes));
    EXPECT_EQ(bytes.size % 8, 0u);
    TempDir temp;
    test::ScopedTempFolder scoped(temp.Path());
    ASSERT_TRUE(test::WriteBytes(temp.File(L"ZizUdir.dat"),
                                 std::string(static_cast<const char*>(bytes.data), bytes.size)));
    EXPECT_FALSE(HttpInstallInfo::Instance()->ReadChannelConfig().empty());
}

TEST(DesDecryptFile, ResultCodesAndShortFiles) {
    TempDir temp;
    const std::string dir = WideToAnsi(temp.Path());
    EXPECT_EQ(DesDecryptFile((dir + "missing.dat").c_str(), Key(), (dir + "out.ini").c_str()), -3);
    ASSERT_TRUE(test::WriteBytes(temp.File(L"in.dat"), Encipher("12345678abc")));
    EXPECT_EQ(DesDecryptFile((dir + "in.dat").c_str(), Key(), (dir + "no\\such\\out.ini").c_str()),
              -1);
    EXPECT_EQ(DesDecryptFile((dir + "in.dat").c_str(), Key(), (dir + "out.ini").c_str()), 1);
    EXPECT_EQ(test::ReadBytes(temp.File(L"out.ini")), "12345678abc");

    // an empty cipher file gives an empty plain file; a short tail is dropped
    ASSERT_TRUE(test::WriteBytes(temp.File(L"empty.dat"), ""));
    EXPECT_EQ(DesDecryptFile((dir + "empty.dat").c_str(), Key(), (dir + "out.ini").c_str()), 1);
    EXPECT_EQ(test::ReadBytes(temp.File(L"out.ini")), "");
    ASSERT_TRUE(test::WriteBytes(temp.File(L"tail.dat"), Encipher("12345678") + "xyz"));
    EXPECT_EQ(DesDecryptFile((dir + "tail.dat").c_str(), Key(), (dir + "out.ini").c_str()), 1);
    EXPECT_EQ(test::ReadBytes(temp.File(L"out.ini")), "12345678");
}

TEST(InstallChannelFile, WritesTheEmbeddedBytesIntoTheInstallFolder) {
    ResourceBytes bytes;
    ASSERT_TRUE(LoadModuleResource(::GetModuleHandleW(nullptr), L"DATA", 152, bytes));
    const std::string expected(static_cast<const char*>(bytes.data), bytes.size);

    TempDir install;
    CUIHelp::Instance()->installDir = install.Path();
    // a longer old copy is replaced, not overwritten in place
    ASSERT_TRUE(test::WriteBytes(install.File(L"ZizUdir.dat"), std::string(100, 'o')));
    EXPECT_TRUE(InstallChannelFile());
    EXPECT_EQ(test::ReadBytes(install.File(L"ZizUdir.dat")), expected);

    // without a trailing separator the file still lands inside the folder
    std::wstring noSep = install.Path();
    noSep.pop_back();
    CUIHelp::Instance()->installDir = noSep;
    EXPECT_TRUE(InstallChannelFile());
    EXPECT_EQ(test::ReadBytes(install.File(L"ZizUdir.dat")), expected);

    CUIHelp::Instance()->installDir = install.File(L"missing\\");
    EXPECT_FALSE(InstallChannelFile());
}
