// A few archives of the malformed corpus (tests/fuzz/make_bad_archives.py)
// unpacked in the product's own process: declared sizes that a 32-bit size
// would cut short, names that leave the folder, cut and encrypted archives.
#include <gtest/gtest.h>

#include "installer/archiveextractor.h"
#include "support/test_support.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

std::wstring Malformed(const wchar_t* name) {
    return test::WideArg("archives") + L"\\malformed\\" + name;
}

// Unpacks into a folder two levels down and returns the result; anything
// beside the output folder is a failure of the test.
int ExtractNested(const wchar_t* name) {
    TempDir root;
    const std::wstring a = root.File(L"a"), b = a + L"\\b", out = b + L"\\out";
    ::CreateDirectoryW(a.c_str(), nullptr);
    ::CreateDirectoryW(b.c_str(), nullptr);
    ::CreateDirectoryW(out.c_str(), nullptr);
    const int result = ExtractArchive(Malformed(name), out, ExtractProgress());
    EXPECT_EQ(test::ListFolder(root.Path()), std::vector<std::wstring>{L"a"}) << name;
    EXPECT_EQ(test::ListFolder(a), std::vector<std::wstring>{L"b"}) << name;
    EXPECT_EQ(test::ListFolder(b), std::vector<std::wstring>{L"out"}) << name;
    return result;
}

}  // namespace

TEST(MalformedArchive, FailsCleanlyWithNothingOutsideTheTarget) {
    const wchar_t* const kFailing[] = {
        L"fail-whole-block-4g.7z",      L"fail-whole-block-1t.7z",     L"fail-size-unpack-4g.7z",
        L"fail-size-unpack-huge.7z",    L"fail-lzma-dictionary-4g.7z", L"fail-count-files-huge.7z",
        L"fail-count-folders-huge.7z",  L"fail-size-names-huge.7z",    L"fail-name-dotdot-deep.7z",
        L"fail-name-dotdot-back.7z",    L"fail-name-drive.7z",         L"fail-name-absolute.7z",
        L"fail-name-device-con.7z",     L"fail-name-stream.7z",        L"fail-long-component.7z",
        L"fail-cut-lzma2-bcj-04096.7z", L"fail-crc-header.7z",         L"fail-encrypted-headers.7z",
        L"fail-method-deflate.7z",
    };
    for (const wchar_t* name : kFailing)
        EXPECT_EQ(ExtractNested(name), EXTRACT_FAILED) << name;
}

TEST(MalformedArchive, TheUndamagedShapesUnpack) {
    for (const wchar_t* name : {L"ok-lzma2-bcj.7z", L"ok-ppmd.7z", L"ok-handmade.7z"})
        EXPECT_EQ(ExtractNested(name), EXTRACT_OK) << name;
}
