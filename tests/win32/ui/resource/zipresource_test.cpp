#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "fixtures.h"
#include "support/address_squeeze.h"
#include "support/test_support.h"
#include "ui/zipresource.h"
#include "util/logger.h"
#include "util/string_util.h"

using TavroLib::CZipResource;
using vorn::test::Bytes;
using vorn::test::MakeZip;
using vorn::test::ZipEntry;

namespace {

// Thousands of refused archives would each log a line; the results are what is checked.
const bool kQuiet = [] {
    vorn::Logger::Instance().SetOutputMask(0);
    return true;
}();

std::string Text(const std::vector<unsigned char>& v) {
    return std::string(v.begin(), v.end());
}

std::string Repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece + std::to_string(i) + "\n";
    return s;
}

const std::vector<ZipEntry>& SampleEntries() {
    static const std::vector<ZipEntry> entries = {
        {"CheckWnd.xml", "<Window size=\"800,500\"/>", false},
        {"layout.xml", Repeated("<Label text=\"line\"/>", 200), true},
        {u8"中文.xml", "\xE4\xB8\xAD", true},
        {"empty.txt", "", false},
        {"Close.png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, '\x7F'), true},
    };
    return entries;
}

}  // namespace

TEST(ZipResource, ReadsStoredAndDeflatedEntriesByExactName) {
    CZipResource zip;
    const Bytes bytes = MakeZip(SampleEntries());
    std::vector<unsigned char> out;
    EXPECT_FALSE(zip.ReadEntry(L"CheckWnd.xml", out));  // nothing open yet
    ASSERT_TRUE(zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()));
    EXPECT_TRUE(zip.IsOpen());
    EXPECT_EQ(zip.Name(), L"membuffer");
    EXPECT_EQ(zip.OpenCount(), 1u);

    for (const ZipEntry& e : SampleEntries()) {
        const std::wstring name = vorn::Utf8ToWide(e.name);
        ASSERT_TRUE(zip.ReadEntry(name.c_str(), out)) << e.name;
        EXPECT_EQ(Text(out), e.data) << e.name;
        EXPECT_TRUE(zip.HasEntry(name.c_str()));
    }
    out.assign(3, 1);
    EXPECT_FALSE(zip.ReadEntry(L"missing.png", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(zip.ReadEntry(L"checkwnd.xml", out));  // case matters
    EXPECT_FALSE(zip.ReadEntry(L"CheckWnd.xm", out));
    EXPECT_FALSE(zip.ReadEntry(L"", out));
    EXPECT_FALSE(zip.ReadEntry(nullptr, out));
    EXPECT_FALSE(zip.HasEntry(L"missing.png"));
}

TEST(ZipResource, KeepsItsOwnCopyAndCountsOpens) {
    CZipResource zip;
    Bytes first = MakeZip({{"a.xml", "first", true}});
    const Bytes second = MakeZip({{"b.xml", "second", false}});
    ASSERT_TRUE(zip.OpenMemory(L"one", first.data(), first.size()));
    std::fill(first.begin(), first.end(), 0);  // the caller's buffer is not used afterwards
    Bytes().swap(first);
    std::vector<unsigned char> out;
    ASSERT_TRUE(zip.ReadEntry(L"a.xml", out));
    EXPECT_EQ(Text(out), "first");

    ASSERT_TRUE(zip.OpenMemory(L"membuffer", second.data(), second.size()));
    EXPECT_EQ(zip.OpenCount(), 2u);
    EXPECT_EQ(zip.Name(), L"membuffer");
    EXPECT_FALSE(zip.ReadEntry(L"a.xml", out));  // the previous archive is closed
    ASSERT_TRUE(zip.ReadEntry(L"b.xml", out));
    EXPECT_EQ(Text(out), "second");

    // A failed open still closes what was open, and is not counted.
    const char junk[] = "PK\x03\x04 not really a zip archive";
    EXPECT_FALSE(zip.OpenMemory(L"junk", junk, sizeof junk));
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_EQ(zip.Name(), L"");
    EXPECT_EQ(zip.OpenCount(), 2u);
    EXPECT_FALSE(zip.ReadEntry(L"b.xml", out));
    EXPECT_FALSE(zip.OpenMemory(L"null", nullptr, 10));
    EXPECT_FALSE(zip.OpenMemory(L"empty", second.data(), 0));

    zip.Close();
    EXPECT_FALSE(zip.IsOpen());
    zip.Close();  // twice is harmless

    // The process-wide instance is one object.
    EXPECT_EQ(&CZipResource::Instance(), &CZipResource::Instance());
}

TEST(ZipResource, TruncatedArchiveNeverYieldsWrongContent) {
    const Bytes bytes = MakeZip(SampleEntries());
    CZipResource zip;
    int opened = 0;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        if (!zip.OpenMemory(L"membuffer", bytes.data(), cut))
            continue;
        ++opened;
        for (const ZipEntry& e : SampleEntries()) {
            std::vector<unsigned char> out;
            const std::wstring name = vorn::Utf8ToWide(e.name);
            if (zip.ReadEntry(name.c_str(), out)) {
                EXPECT_EQ(Text(out), e.data) << "cut at " << cut;
            }
        }
    }
    // Without its end record no cut archive is readable.
    EXPECT_EQ(opened, 0);
}

TEST(ZipResource, CorruptedBytesFailCleanly) {
    const std::vector<ZipEntry> entries = {{"layout.xml", Repeated("<Label/>", 40), true},
                                           {"stored.bin", std::string(64, 'S'), false}};
    const Bytes original = MakeZip(entries);
    CZipResource zip;
    int refusedReads = 0;
    for (size_t at = 0; at < original.size(); ++at) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            Bytes bytes = original;
            bytes[at] ^= mask;
            if (!zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()))
                continue;
            for (const ZipEntry& e : entries) {
                std::vector<unsigned char> out;
                if (zip.ReadEntry(vorn::Utf8ToWide(e.name).c_str(), out)) {
                    EXPECT_EQ(Text(out), e.data) << "byte " << at << " mask " << int(mask);
                } else {
                    EXPECT_TRUE(out.empty());
                    ++refusedReads;
                }
            }
        }
    }
    EXPECT_GT(refusedReads, 0);

    // A flipped byte in the middle of deflated data is caught (inflate or CRC).
    Bytes bytes = original;
    bytes[30 + 10 + 20] ^= 0x55;
    ASSERT_TRUE(zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()));
    std::vector<unsigned char> out;
    EXPECT_FALSE(zip.ReadEntry(L"layout.xml", out));
    EXPECT_TRUE(zip.ReadEntry(L"stored.bin", out));  // the other entry is intact
}

TEST(ZipResource, RefusesEntriesOverTheSizeBound) {
    ZipEntry big{"big.bin", std::string(1000, 'x'), true};
    big.claimedSize = int64_t(CZipResource::kMaxEntrySize) + 1;
    ZipEntry fits{"fits.bin", std::string(1000, 'y'), true};
    fits.claimedSize = 999;  // announced smaller than it is: the CRC check fails
    const Bytes bytes = MakeZip({big, fits, {"ok.bin", "fine", true}});
    CZipResource zip;
    ASSERT_TRUE(zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()));
    std::vector<unsigned char> out;
    EXPECT_FALSE(zip.ReadEntry(L"big.bin", out));
    EXPECT_FALSE(zip.ReadEntry(L"fits.bin", out));
    EXPECT_TRUE(zip.ReadEntry(L"ok.bin", out));
    EXPECT_EQ(Text(out), "fine");
}

// An entry announcing 60 MiB in a crowded 32-bit process: the buffer for it
// cannot be had, and the read fails without an exception.
TEST(ZipResource, NoMemoryForAnEntryFailsCleanly) {
    if (!vorn::test::AddressSqueeze::Possible())
        GTEST_SKIP() << "a 64-bit address space cannot be filled";
    ZipEntry entry{"big.bin", std::string(1000, 'x')};
    entry.claimedSize = 60 << 20;
    const Bytes zip = MakeZip({entry, ZipEntry{"small.txt", "small"}});
    CZipResource archive;
    ASSERT_TRUE(archive.OpenMemory(L"squeezed", zip.data(), zip.size()));
    std::vector<unsigned char> out;
    {
        vorn::test::AddressSqueeze squeeze(16u << 20);
        EXPECT_FALSE(archive.ReadEntry(L"big.bin", out));
        EXPECT_TRUE(out.empty());
        EXPECT_TRUE(archive.ReadEntry(L"small.txt", out));
    }
    EXPECT_FALSE(archive.ReadEntry(L"big.bin", out));  // the claimed size is wrong anyway
}

TEST(ZipResource, ConcurrentReadsAgree) {
    CZipResource zip;
    const Bytes bytes = MakeZip(SampleEntries());
    ASSERT_TRUE(zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const ZipEntry& e = SampleEntries()[(i + t) % SampleEntries().size()];
                std::vector<unsigned char> out;
                if (!zip.ReadEntry(vorn::Utf8ToWide(e.name).c_str(), out) || Text(out) != e.data) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

// The real skin archive, when the build made one: every skin file is in it, byte for byte.
TEST(ZipResource, SkinArchiveHoldsTheSkinFiles) {
    const std::wstring zipPath = vorn::test::WideArg("skin-zip");
    const std::wstring skinDir = vorn::test::WideArg("skin-dir");
    if (zipPath.empty() || skinDir.empty())
        GTEST_SKIP() << "no skin archive given";
    const Bytes bytes = vorn::test::ReadFileBytes(zipPath);
    ASSERT_FALSE(bytes.empty());
    CZipResource zip;
    ASSERT_TRUE(zip.OpenMemory(L"membuffer", bytes.data(), bytes.size()));
    const std::vector<std::wstring> names = vorn::test::ListFolder(skinDir);
    ASSERT_FALSE(names.empty());
    for (const std::wstring& name : names) {
        std::vector<unsigned char> out;
        ASSERT_TRUE(zip.ReadEntry(name.c_str(), out)) << vorn::WideToUtf8(name);
        EXPECT_TRUE(out == vorn::test::ReadFileBytes(skinDir + L"\\" + name))
            << vorn::WideToUtf8(name);
    }
}
