#include <gtest/gtest.h>

#include <vector>

#include "installer/archiveextractor.h"
#include "installer/archivestream.h"
#include "installer/installdir.h"
#include "support/test_support.h"
#include "util/path_util.h"
#include "util/string_util.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

std::wstring Archive(const wchar_t* name) {
    return test::WideArg("archives") + L"\\" + name;
}

struct Recorded {
    std::vector<int> percents;
    int Extract(const std::wstring& archive, const std::wstring& folder,
                ExtractStats* stats = nullptr) {
        return ExtractArchive(
            archive, folder, [this](int p) { percents.push_back(p); }, stats);
    }
};

std::vector<std::pair<WPARAM, LPARAM>> g_progressSeen;

LRESULT CALLBACK ProgressProbe(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_INSTALL_PROGRESS)
        g_progressSeen.emplace_back(w, l);
    return ::DefWindowProcW(h, m, w, l);
}

DWORD Attributes(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

// Writes nothing; closing one named file fails, as on a volume that writes
// behind and finds the disk full only then.
class CloseFailsTarget : public UnpackTarget {
  public:
    explicit CloseFailsTarget(const wchar_t* failing) : failing_(failing) {}
    bool PrepareEntry(const std::wstring&) override { return true; }
    void MakeFolder(const std::wstring&) override {}
    bool BeginFile(const std::wstring& relative) override {
        current_ = relative;
        return true;
    }
    bool Write(const Byte*, size_t) override { return true; }
    bool EndFile(bool keep) override {
        const bool closed = current_ != failing_;
        if (keep && closed)
            kept.push_back(current_);
        return closed;
    }
    void SetAttributes(const std::wstring&, uint32_t) override {}
    std::wstring PathForLog(const std::wstring& relative) const override { return relative; }

    std::vector<std::wstring> kept;

  private:
    std::wstring failing_;
    std::wstring current_;
};

}  // namespace

TEST(ExtractArchive, UnpacksNestedFoldersEmptyEntriesChineseNamesAndAttributes) {
    TempDir out;
    Recorded r;
    ASSERT_EQ(r.Extract(Archive(L"tree.7z"), out.Path()), EXTRACT_OK);
    EXPECT_EQ(test::ReadBytes(out.File(L"bin\\data\\x.dat")), "x-data\n");
    EXPECT_TRUE(IsDirectory(out.File(L"empty")));
    EXPECT_TRUE(test::ListFolder(out.File(L"empty")).empty());
    ASSERT_TRUE(IsRegularFile(out.File(L"zero.txt")));
    EXPECT_EQ(test::ReadBytes(out.File(L"zero.txt")), "");
    EXPECT_EQ(test::ReadBytes(out.File(L"中文目录\\文件.txt")), "加速器");
    // the blob went through LZMA2 and the x86 filter
    const std::string blob = test::ReadBytes(out.File(L"bin\\blob.bin"));
    std::string expected;
    for (uint32_t i = 0; i < 60000; ++i) {
        const uint32_t v = i * 2654435761u;
        expected += static_cast<char>(0xE8);
        for (int b = 0; b < 4; ++b)
            expected += static_cast<char>((v >> (8 * b)) & 0xFF);
    }
    EXPECT_TRUE(blob == expected);

    EXPECT_NE(Attributes(out.File(L"ro.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(Attributes(out.File(L"hid.txt")) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(Attributes(out.File(L"hid.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Attributes(out.File(L"zero.txt")) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              0u);
    // one message per entry, before it, from 0
    ASSERT_EQ(r.percents.size(), 10u);
    EXPECT_EQ(r.percents.front(), 0);
    EXPECT_EQ(r.percents.back(), 90);
    DeleteTree(out.Path());
}

TEST(ExtractArchive, OverwritesAnEarlierInstallationIncludingReadOnlyAndHiddenFiles) {
    TempDir out;
    ASSERT_EQ(ExtractArchive(Archive(L"tree.7z"), out.Path(), HWND{}), EXTRACT_OK);
    ASSERT_TRUE(test::WriteBytes(out.File(L"bin\\data\\x.dat"), "changed"));
    ASSERT_TRUE(test::WriteBytes(out.File(L"old.txt"), "kept"));
    ASSERT_EQ(ExtractArchive(Archive(L"tree.7z"), out.Path(), HWND{}), EXTRACT_OK);
    EXPECT_EQ(test::ReadBytes(out.File(L"bin\\data\\x.dat")), "x-data\n");
    EXPECT_EQ(test::ReadBytes(out.File(L"ro.txt")), "read only\n");
    EXPECT_EQ(test::ReadBytes(out.File(L"old.txt")), "kept");
    DeleteTree(out.Path());
}

TEST(ExtractArchive, ProgressOfFourEntriesAndOfNone) {
    TempDir out;
    Recorded r;
    ASSERT_EQ(r.Extract(Archive(L"four.7z"), out.Path()), EXTRACT_OK);
    EXPECT_EQ(r.percents, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(test::ReadBytes(out.File(L"d.txt")), "dddddddddd");

    Recorded none;
    EXPECT_EQ(none.Extract(Archive(L"empty.7z"), out.Path()), EXTRACT_OK);
    EXPECT_TRUE(none.percents.empty());
}

TEST(ExtractArchive, SendsProgressMessagesToTheWindow) {
    auto& seen = g_progressSeen;
    seen.clear();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &ProgressProbe;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ExtractProgressProbe";
    ASSERT_NE(::RegisterClassW(&wc), 0);
    HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    TempDir out;
    EXPECT_EQ(ExtractArchive(Archive(L"four.7z"), out.Path(), window), EXTRACT_OK);
    ::DestroyWindow(window);
    EXPECT_EQ(WM_INSTALL_PROGRESS, 2033u);
    ASSERT_EQ(seen.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].first, i * 25);
        EXPECT_EQ(seen[i].second, 0);
    }
}

TEST(ExtractArchive, ArgumentsAndUnreadableArchives) {
    TempDir out;
    EXPECT_EQ(ExtractArchive(std::wstring(), out.Path(), HWND{}), EXTRACT_NO_INPUT);
    EXPECT_EQ(ExtractArchive(static_cast<const char*>(nullptr), out.Path(), HWND{}),
              EXTRACT_NO_INPUT);
    EXPECT_EQ(ExtractArchive("", out.Path(), HWND{}), EXTRACT_NO_INPUT);
    EXPECT_EQ(ExtractArchive(Archive(L"four.7z"), out.File(L"missing"), HWND{}), EXTRACT_NO_INPUT);
    // an output folder without its backslash is used all the same
    std::wstring folder = out.Path();
    folder.pop_back();
    EXPECT_EQ(ExtractArchive(Archive(L"four.7z"), folder, HWND{}), EXTRACT_OK);
    EXPECT_TRUE(IsRegularFile(out.File(L"a.txt")));

    TempDir other;
    for (const wchar_t* name : {L"missing.7z", L"garbage.7z", L"cut.7z", L"cut-tail.7z"}) {
        SCOPED_TRACE(WideToUtf8(name));
        Recorded r;
        EXPECT_EQ(r.Extract(Archive(name), other.Path()), EXTRACT_FAILED);
        EXPECT_TRUE(r.percents.empty());
        EXPECT_TRUE(test::ListFolder(other.Path()).empty());
    }
    DeleteTree(out.Path());
}

TEST(ExtractArchive, NarrowPathInTheAnsiCodePage) {
    TempDir out;
    const std::string narrow = WideToAnsi(Archive(L"four.7z"));
    ASSERT_FALSE(narrow.empty());
    EXPECT_EQ(ExtractArchive(narrow.c_str(), out.Path(), HWND{}), EXTRACT_OK);
    EXPECT_TRUE(IsRegularFile(out.File(L"c.txt")));
}

TEST(ExtractArchive, FolderNamesOutsideTheAnsiCodePage) {
    TempDir out;
    // U+2713 and U+0416 have no form in code page 1252 nor in 936 together with Thai.
    const std::wstring folder = out.File(L"安装\u2713\u0e01\u0416\\");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WideToAnsi(folder).empty());
    const std::wstring package = folder + L"tmpClient";
    ASSERT_TRUE(::CopyFileW(Archive(L"four.7z").c_str(), package.c_str(), FALSE));
    EXPECT_EQ(ExtractArchive(package, folder, HWND{}), EXTRACT_OK);
    EXPECT_EQ(test::ReadBytes(folder + L"b.txt"), "bbbbbbbbbb");
    DeleteTree(out.Path());
}

TEST(ExtractArchive, CorruptDataAndUnsupportedMethodsFail) {
    TempDir out;
    Recorded crc;
    EXPECT_EQ(crc.Extract(Archive(L"crc.7z"), out.Path()), EXTRACT_FAILED);
    EXPECT_EQ(test::ReadBytes(out.File(L"good.txt")), "good content\n");
    EXPECT_FALSE(test::FileExists(out.File(L"sum.txt")));  // the bad data is not left behind
    EXPECT_EQ(crc.percents, (std::vector<int>{0, 50}));

    TempDir out2;
    Recorded bzip2;
    EXPECT_EQ(bzip2.Extract(Archive(L"bzip2.7z"), out2.Path()), EXTRACT_FAILED);
    EXPECT_EQ(bzip2.percents, (std::vector<int>{0}));
    DeleteTree(out.Path());
}

TEST(ExtractArchive, AFileWhoseCloseFailsFailsTheExtraction) {
    const struct {
        const wchar_t* archive;  // streamed (LZMA2) and unpacked whole (PPMd)
        const wchar_t* failing;
        std::vector<std::wstring> kept;
    } cases[] = {{L"four.7z", L"b.txt", {L"a.txt"}}, {L"big-ppmd.7z", L"big.txt", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.archive));
        ArchiveFileStream file;
        ASSERT_TRUE(file.Open(Archive(c.archive)));
        CloseFailsTarget target(c.failing);
        EXPECT_EQ(UnpackArchive(file.Stream(), target, {}, nullptr, c.archive), EXTRACT_FAILED);
        EXPECT_EQ(target.kept, c.kept);
    }
}

TEST(ExtractArchive, EntriesLeavingTheFolderAreRefusedBeforeAnythingIsWritten) {
    for (const wchar_t* name :
         {L"slip-parent.7z", L"slip-back.7z", L"slip-deep.7z", L"slip-drive.7z", L"slip-root.7z",
          L"slip-trim.7z", L"slip-device.7z", L"slip-stream.7z"}) {
        SCOPED_TRACE(WideToUtf8(name));
        TempDir parent;
        const std::wstring out = parent.File(L"install\\");
        ASSERT_TRUE(::CreateDirectoryW(out.c_str(), nullptr));
        Recorded r;
        EXPECT_EQ(r.Extract(Archive(name), out), EXTRACT_FAILED);
        EXPECT_TRUE(r.percents.empty());
        // nothing in the install folder, nothing beside it
        EXPECT_TRUE(test::ListFolder(out).empty());
        EXPECT_EQ(test::ListFolder(parent.Path()), std::vector<std::wstring>{L"install"});
        EXPECT_FALSE(test::FileExists(L"C:\\evil.txt"));
        EXPECT_FALSE(test::FileExists(L"\\evil.txt"));
    }
}

TEST(ExtractArchive, NeverWritesThroughALinkInTheInstallFolder) {
    TempDir out;
    TempDir target;
    // a folder link where the archive has "bin"
    ::CreateSymbolicLinkW(out.File(L"bin").c_str(), target.Path().c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY);
    const DWORD a = Attributes(out.File(L"bin"));
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        // Wine 8's CreateSymbolicLinkW reports success and makes nothing.
        GTEST_SKIP() << "this system makes no symbolic links";
    }
    EXPECT_EQ(ExtractArchive(Archive(L"tree.7z"), out.Path(), HWND{}), EXTRACT_FAILED);
    EXPECT_TRUE(test::ListFolder(target.Path()).empty());
    EXPECT_TRUE(DeleteTree(out.File(L"bin")));
    DeleteTree(out.Path());
}

std::string BigText() {
    std::string text;
    char line[32];
    for (int i = 0; i < 800000; ++i) {
        std::snprintf(line, sizeof(line), "%08d vorn package line\n", i);
        text += line;
    }
    return text;
}

TEST(ExtractArchive, LargeSolidBlocksStreamWithinTheDictionarysMemory) {
    const std::string expected = BigText();
    for (const wchar_t* name : {L"big.7z", L"big-lzma.7z"}) {
        SCOPED_TRACE(WideToUtf8(name));
        TempDir out;
        ExtractStats stats;
        ASSERT_EQ(Recorded().Extract(Archive(name), out.Path(), &stats), EXTRACT_OK);
        EXPECT_TRUE(test::ReadBytes(out.File(L"big.txt")) == expected);
        EXPECT_EQ(test::ReadBytes(out.File(L"small.txt")), "after the big one\n");
        EXPECT_GT(stats.largestBlockBytes, expected.size());
        // a 1 MiB dictionary, not the 20 MiB block
        EXPECT_LT(stats.peakDecoderBytes, 2u << 20);
        std::printf("%ls: block %llu bytes, decoder peak %llu bytes\n", name,
                    static_cast<unsigned long long>(stats.largestBlockBytes),
                    static_cast<unsigned long long>(stats.peakDecoderBytes));
        DeleteTree(out.Path());
    }
}

TEST(ExtractArchive, DamagedDataInAStreamedBlockFails) {
    TempDir out;
    Recorded r;
    EXPECT_EQ(r.Extract(Archive(L"big-damaged.7z"), out.Path()), EXTRACT_FAILED);
    EXPECT_FALSE(test::FileExists(out.File(L"big.txt")));
    EXPECT_EQ(r.percents, std::vector<int>{0});
}

TEST(ExtractArchive, OtherCodersUnpackTheWholeBlockAtOnce) {
    TempDir out;
    ExtractStats stats;
    ASSERT_EQ(Recorded().Extract(Archive(L"big-ppmd.7z"), out.Path(), &stats), EXTRACT_OK);
    EXPECT_TRUE(test::ReadBytes(out.File(L"big.txt")) == BigText());
    EXPECT_GE(stats.peakDecoderBytes, stats.largestBlockBytes);
    std::printf("PPMd: block %llu bytes, decoder peak %llu bytes\n",
                static_cast<unsigned long long>(stats.largestBlockBytes),
                static_cast<unsigned long long>(stats.peakDecoderBytes));
    DeleteTree(out.Path());
}

TEST(ExtractArchive, AWholeBlockBeyondTheLimitFailsWithoutItsMemory) {
    TempDir out;
    ExtractStats stats;
    Recorded r;
    EXPECT_EQ(r.Extract(Archive(L"big-ppmd-huge.7z"), out.Path(), &stats), EXTRACT_FAILED);
    EXPECT_GT(stats.largestBlockBytes, kWholeBlockLimit);
    // Refused before the block's buffer was asked for.
    EXPECT_LT(stats.peakDecoderBytes, 16u << 20);
    EXPECT_FALSE(test::FileExists(out.File(L"big.txt")));
    EXPECT_EQ(r.percents, std::vector<int>{0});
    DeleteTree(out.Path());
}

TEST(ExtractArchive, MemoryOfASmallPackage) {
    TempDir out;
    ExtractStats stats;
    ASSERT_EQ(Recorded().Extract(Archive(L"tree.7z"), out.Path(), &stats), EXTRACT_OK);
    // tree.7z is one solid block of all its file data
    EXPECT_GE(stats.largestBlockBytes, 300000u);
    EXPECT_LT(stats.largestBlockBytes, 300100u);
    EXPECT_LT(stats.peakDecoderBytes, stats.largestBlockBytes + (1u << 20));
    std::printf("largest block %llu bytes, decoder peak %llu bytes\n",
                static_cast<unsigned long long>(stats.largestBlockBytes),
                static_cast<unsigned long long>(stats.peakDecoderBytes));
    DeleteTree(out.Path());
}
