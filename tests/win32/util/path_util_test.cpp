#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"
#include "util/path_util.h"

using namespace vorn;
using vorn::test::TempDir;

TEST(PathJoin, ExactlyOneSeparatorBetweenTheParts) {
    EXPECT_EQ(PathJoin(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(PathJoin(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(PathJoin(L"C:\\a\\", L"\\b"), L"C:\\a\\b");
    EXPECT_EQ(PathJoin(L"C:\\a", L"\\b"), L"C:\\a\\b");
    EXPECT_EQ(PathJoin(L"C:/a/", L"/b"), L"C:/a/b");
    // only one leading separator of the second part is dropped
    EXPECT_EQ(PathJoin(L"C:\\a\\", L"\\\\b"), L"C:\\a\\\\b");
}

TEST(PathJoin, NullAndEmptyParts) {
    EXPECT_EQ(PathJoin(L"C:\\a", nullptr), L"C:\\a\\");
    EXPECT_EQ(PathJoin(L"C:\\a\\", nullptr), L"C:\\a\\");
    EXPECT_EQ(PathJoin(nullptr, L"b"), L"\\b");
    EXPECT_EQ(PathJoin(L"", L"\\b"), L"\\b");
    EXPECT_EQ(PathJoin(L"D:\\Games", L""), L"D:\\Games\\");
    EXPECT_EQ(PathJoin(std::wstring(L"D:/Games"), std::wstring(L"\\")), L"D:/Games\\");
    EXPECT_EQ(PathJoinA("C:\\tmp", "cacert.pem"), "C:\\tmp\\cacert.pem");
    EXPECT_EQ(PathJoinA("C:\\tmp\\", "\\cacert.pem"), "C:\\tmp\\cacert.pem");
    EXPECT_EQ(PathJoinA(nullptr, nullptr), "\\");
}

TEST(ParentFolder, TrailingSeparatorsAndMixedStyles) {
    EXPECT_EQ(ParentFolder(L"C:\\a\\b\\"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\a\\b\\\\/"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\"), L"");
    EXPECT_EQ(ParentFolder(L"D:"), L"");
    EXPECT_EQ(ParentFolder(L"C:/a\\b"), L"C:/a");
    EXPECT_EQ(ParentFolder(L"C:\\a/b"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"D:\\Vorn"), L"D:");
    EXPECT_EQ(ParentFolder(L""), L"");
}

class WalkTreeTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::WriteBytes(dir.File(L"f"), "f"));
        ASSERT_TRUE(::CreateDirectoryW(dir.File(L"s").c_str(), nullptr));
        ASSERT_TRUE(test::WriteBytes(dir.File(L"s\\g"), "g"));
    }
    TempDir dir;
};

TEST_F(WalkTreeTest, VisitsContentsBeforeTheirFolder) {
    std::vector<std::pair<std::wstring, bool>> seen;
    EXPECT_TRUE(WalkTree(dir.Path().c_str(), [&](const std::wstring& p, bool isFolder) {
        seen.emplace_back(p.substr(dir.Path().size()), isFolder);
        return true;
    }));
    ASSERT_EQ(seen.size(), 3u);
    auto pos = [&](const std::wstring& n) {
        return std::find_if(seen.begin(), seen.end(), [&](auto& e) { return e.first == n; }) -
               seen.begin();
    };
    EXPECT_LT(pos(L"s\\g"), pos(L"s"));
    EXPECT_LT(pos(L"f"), 3);
    EXPECT_TRUE(seen[pos(L"s")].second);
    EXPECT_FALSE(seen[pos(L"f")].second);
}

TEST_F(WalkTreeTest, StopsAtTheFirstRefusal) {
    int calls = 0;
    EXPECT_FALSE(WalkTree(dir.Path().c_str(), [&](const std::wstring&, bool) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 1);
}

TEST_F(WalkTreeTest, DeletingVisitorEmptiesTheTreeButKeepsTheRoot) {
    EXPECT_TRUE(WalkTree(dir.Path().c_str(), [](const std::wstring& p, bool isFolder) {
        return isFolder ? ::RemoveDirectoryW(p.c_str()) != FALSE
                        : ::DeleteFileW(p.c_str()) != FALSE;
    }));
    EXPECT_TRUE(test::ListFolder(dir.Path()).empty());
    EXPECT_TRUE(IsDirectory(dir.Path()));
}

TEST(WalkTree, MissingOrEmptyFolder) {
    auto never = [](const std::wstring&, bool) { return true; };
    EXPECT_FALSE(WalkTree(nullptr, never));
    EXPECT_FALSE(WalkTree(L"", never));
    EXPECT_FALSE(WalkTree(L"C:\\no\\such\\folder", never));
    TempDir empty;
    EXPECT_TRUE(WalkTree(empty.Path().c_str(), never));
}

TEST(FileTests, RegularFilesFoldersAndMissingPaths) {
    TempDir dir;
    ASSERT_TRUE(test::WriteBytes(dir.File(L"file.txt"), "x"));
    EXPECT_TRUE(IsRegularFile(dir.File(L"file.txt")));
    EXPECT_FALSE(IsRegularFile(dir.Path()));
    EXPECT_FALSE(IsRegularFile(dir.File(L"missing")));
    EXPECT_FALSE(IsRegularFile(std::wstring()));
    EXPECT_TRUE(IsDirectory(dir.Path()));
    EXPECT_FALSE(IsDirectory(dir.File(L"file.txt")));

    char narrow[MAX_PATH];
    ::WideCharToMultiByte(CP_ACP, 0, dir.File(L"file.txt").c_str(), -1, narrow, MAX_PATH, nullptr,
                          nullptr);
    EXPECT_TRUE(IsRegularFile(std::string(narrow)));
    EXPECT_FALSE(IsRegularFile(std::string()));
    // bytes that are no text of the code page are no file, not an error
    EXPECT_FALSE(IsRegularFile(std::string("C:\\\x81\xFF\x81")));
}

TEST(MakeDirectories, CreatesMissingParentsAndRefusesExisting) {
    TempDir dir;
    const std::wstring deep = dir.File(L"a\\b\\c");
    EXPECT_TRUE(MakeDirectories(deep));
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_FALSE(MakeDirectories(deep));
    EXPECT_FALSE(MakeDirectories(L""));
    EXPECT_FALSE(MakeDirectory(dir.File(L"a")));
    EXPECT_TRUE(MakeDirectory(dir.File(L"d")));
    EXPECT_FALSE(MakeDirectory(dir.File(L"x\\y")));  // parent missing: a failure, not a crash
    ASSERT_TRUE(test::WriteBytes(dir.File(L"plain"), "x"));
    EXPECT_FALSE(MakeDirectories(dir.File(L"plain\\sub")));
}

TEST(ModulePaths, NameTheRunningExecutable) {
    std::wstring path = L"unchanged";
    ASSERT_TRUE(GetModulePath(path));
    EXPECT_TRUE(IsRegularFile(path));
    EXPECT_NE(path.find(L"util_tests.exe"), std::wstring::npos);

    std::string folder;
    ASSERT_TRUE(GetModuleFolderA(folder));
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    std::wstring wideFolder(folder.begin(), folder.end());
    EXPECT_EQ(PathJoin(wideFolder, L"util_tests.exe"), path);
}
