#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <vector>

#include "installer/installdir.h"
#include "support/test_support.h"
#include "util/path_util.h"
#include "util/win_handle.h"

using namespace vorn;
using vorn::test::TempDir;

namespace {

// The layout of a mount-point reparse buffer (ntifs.h, which mingw's SDK lacks).
struct MountPointBuffer {
    DWORD ReparseTag;
    WORD ReparseDataLength;
    WORD Reserved;
    WORD SubstituteNameOffset;
    WORD SubstituteNameLength;
    WORD PrintNameOffset;
    WORD PrintNameLength;
    WCHAR PathBuffer[1];
};

// A junction at link pointing to the existing folder target (no trailing backslash).
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr))
        return false;
    UniqueHandle dir(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
    if (!dir)
        return false;
    const std::wstring substitute = L"\\??\\" + target;
    std::vector<BYTE> bytes(sizeof(MountPointBuffer) + (substitute.size() + target.size() + 2) * 2);
    auto* b = reinterpret_cast<MountPointBuffer*>(bytes.data());
    b->ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    b->SubstituteNameOffset = 0;
    b->SubstituteNameLength = static_cast<WORD>(substitute.size() * 2);
    b->PrintNameOffset = static_cast<WORD>(substitute.size() * 2 + 2);
    b->PrintNameLength = static_cast<WORD>(target.size() * 2);
    memcpy(b->PathBuffer, substitute.c_str(), substitute.size() * 2 + 2);
    memcpy(reinterpret_cast<BYTE*>(b->PathBuffer) + b->PrintNameOffset, target.c_str(),
           target.size() * 2 + 2);
    b->ReparseDataLength = static_cast<WORD>(offsetof(MountPointBuffer, PathBuffer) - 8 +
                                             b->PrintNameOffset + b->PrintNameLength + 2);
    DWORD returned = 0;
    return ::DeviceIoControl(dir.Get(), FSCTL_SET_REPARSE_POINT, b, b->ReparseDataLength + 8,
                             nullptr, 0, &returned, nullptr) != FALSE;
}

std::wstring NoSlash(std::wstring p) {
    p.pop_back();
    return p;
}

bool IsLink(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

TEST(PrepareInstallDir, CreatesEveryMissingLevel) {
    TempDir temp;
    EXPECT_TRUE(PrepareInstallDir(temp.File(L"a\\b\\Vorn\\")));
    EXPECT_TRUE(IsDirectory(temp.File(L"a\\b\\Vorn")));
    // existing levels, no trailing backslash, doubled and forward separators
    EXPECT_TRUE(PrepareInstallDir(temp.File(L"a\\b\\Vorn")));
    EXPECT_TRUE(PrepareInstallDir(temp.File(L"a\\\\c/d\\")));
    EXPECT_TRUE(IsDirectory(temp.File(L"a\\c\\d")));
    EXPECT_TRUE(PrepareInstallDir(temp.File(L"中文\\安装\\")));
    EXPECT_TRUE(IsDirectory(temp.File(L"中文\\安装")));
}

TEST(PrepareInstallDir, StopsAtALevelThatCannotBeCreated) {
    TempDir temp;
    ASSERT_TRUE(test::WriteBytes(temp.File(L"file"), "x"));
    EXPECT_FALSE(PrepareInstallDir(temp.File(L"file\\sub\\")));
    EXPECT_FALSE(IsDirectory(temp.File(L"file\\sub")));
    EXPECT_FALSE(PrepareInstallDir(L"Q:\\no\\such\\drive\\"));
    EXPECT_FALSE(PrepareInstallDir(L""));
}

TEST(ClearPackagePath, RemovesAFileOrAWholeFolder) {
    TempDir temp;
    const std::wstring package = PackagePath(temp.Path());
    EXPECT_EQ(package, temp.Path() + L"tmpClient");
    EXPECT_EQ(PackagePath(NoSlash(temp.Path())), temp.Path() + L"tmpClient");

    ASSERT_TRUE(test::WriteBytes(package, "old package"));
    ClearPackagePath(package);
    EXPECT_FALSE(test::FileExists(package));

    ASSERT_TRUE(PrepareInstallDir(package + L"\\a\\b\\"));
    ASSERT_TRUE(test::WriteBytes(package + L"\\a\\b\\f", "1"));
    ASSERT_TRUE(test::WriteBytes(package + L"\\ro", "2"));
    ASSERT_TRUE(::SetFileAttributesW((package + L"\\ro").c_str(), FILE_ATTRIBUTE_READONLY));
    ClearPackagePath(package);
    EXPECT_FALSE(test::FileExists(package));
    EXPECT_EQ(test::ListFolder(temp.Path()), std::vector<std::wstring>{});
    ClearPackagePath(package);  // nothing there: nothing happens
}

TEST(DeleteTree, RemovesJunctionsWithoutTouchingTheirTargets) {
    TempDir tree;
    TempDir target;
    ASSERT_TRUE(test::WriteBytes(target.File(L"precious.txt"), "keep"));
    ASSERT_TRUE(PrepareInstallDir(tree.File(L"pkg\\sub\\")));
    ASSERT_TRUE(test::WriteBytes(tree.File(L"pkg\\sub\\f.txt"), "x"));
    if (!MakeJunction(tree.File(L"pkg\\sub\\junction"), NoSlash(target.Path())) ||
        !IsLink(tree.File(L"pkg\\sub\\junction"))) {
        // Wine 8 answers FSCTL_SET_REPARSE_POINT with ERROR_NOT_SUPPORTED.
        GTEST_SKIP() << "this system makes no junctions (error " << ::GetLastError() << ")";
    }
    // the junction leads to the target
    ASSERT_EQ(test::ReadBytes(tree.File(L"pkg\\sub\\junction\\precious.txt")), "keep");

    EXPECT_TRUE(DeleteTree(tree.File(L"pkg")));
    EXPECT_FALSE(test::FileExists(tree.File(L"pkg")));
    EXPECT_EQ(test::ReadBytes(target.File(L"precious.txt")), "keep");

    // a package path that is itself a junction: only the link goes
    ASSERT_TRUE(MakeJunction(tree.File(L"tmpClient"), NoSlash(target.Path())));
    ClearPackagePath(tree.File(L"tmpClient"));
    EXPECT_FALSE(test::FileExists(tree.File(L"tmpClient")));
    EXPECT_EQ(test::ReadBytes(target.File(L"precious.txt")), "keep");
}

TEST(DeleteTree, RemovesSymbolicLinksWithoutTouchingTheirTargets) {
    TempDir tree;
    TempDir target;
    ASSERT_TRUE(test::WriteBytes(target.File(L"precious.txt"), "keep"));
    ASSERT_TRUE(PrepareInstallDir(tree.File(L"pkg\\")));
    ::CreateSymbolicLinkW(tree.File(L"pkg\\dirlink").c_str(), NoSlash(target.Path()).c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY);
    ::CreateSymbolicLinkW(tree.File(L"pkg\\filelink").c_str(), target.File(L"precious.txt").c_str(),
                          0);
    if (!IsLink(tree.File(L"pkg\\dirlink")) || !IsLink(tree.File(L"pkg\\filelink"))) {
        // Wine 8's CreateSymbolicLinkW reports success and makes nothing.
        GTEST_SKIP() << "this system makes no symbolic links";
    }

    EXPECT_TRUE(DeleteTree(tree.File(L"pkg")));
    EXPECT_FALSE(test::FileExists(tree.File(L"pkg")));
    EXPECT_EQ(test::ReadBytes(target.File(L"precious.txt")), "keep");
}

// What the walk does with an entry that the listing marks as a link, checked on
// a real folder that carries the mark only in the description handed over.
TEST(DeleteTree, AnEntryMarkedAsLinkIsRemovedButNeverEntered) {
    TempDir tree;
    ASSERT_TRUE(PrepareInstallDir(tree.File(L"linklike\\")));
    ASSERT_TRUE(test::WriteBytes(tree.File(L"linklike\\precious.txt"), "keep"));
    EXPECT_FALSE(RemoveTreeEntry(tree.File(L"linklike"),
                                 FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(test::ReadBytes(tree.File(L"linklike\\precious.txt")), "keep");

    // an empty one goes like a link would
    ASSERT_TRUE(PrepareInstallDir(tree.File(L"emptylink\\")));
    EXPECT_TRUE(RemoveTreeEntry(tree.File(L"emptylink"),
                                FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(test::FileExists(tree.File(L"emptylink")));

    // the same folder as a plain folder is emptied and removed
    EXPECT_TRUE(RemoveTreeEntry(tree.File(L"linklike"), FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(test::FileExists(tree.File(L"linklike")));
}

TEST(DeleteTree, EmptyAndMissingPaths) {
    TempDir tree;
    EXPECT_FALSE(DeleteTree(L""));
    EXPECT_TRUE(DeleteTree(tree.File(L"missing")));
    ASSERT_TRUE(test::WriteBytes(tree.File(L"file"), "x"));
    EXPECT_TRUE(DeleteTree(tree.File(L"file")));
    EXPECT_FALSE(test::FileExists(tree.File(L"file")));
}
