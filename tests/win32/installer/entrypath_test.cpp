#include <gtest/gtest.h>

#include "installer/entrypath.h"
#include "util/string_util.h"

using vorn::MakeEntryRelativePath;

namespace {

std::wstring Relative(const std::wstring& name) {
    std::wstring out = L"unchanged";
    return MakeEntryRelativePath(name, out) ? out : L"<refused>";
}

}  // namespace

TEST(MakeEntryRelativePath, PlainNamesBecomeBackslashPaths) {
    EXPECT_EQ(Relative(L"vorn.exe"), L"vorn.exe");
    EXPECT_EQ(Relative(L"bin/data/x.dat"), L"bin\\data\\x.dat");
    EXPECT_EQ(Relative(L"bin\\data/x.dat"), L"bin\\data\\x.dat");
    EXPECT_EQ(Relative(L"中文目录/文件.txt"), L"中文目录\\文件.txt");
    EXPECT_EQ(Relative(L".hidden"), L".hidden");
    EXPECT_EQ(Relative(L"a..b/..c"), L"a..b\\..c");
    EXPECT_EQ(Relative(L"CONFIG.SYS"), L"CONFIG.SYS");
    EXPECT_EQ(Relative(L"COM/LPT10"), L"COM\\LPT10");
}

TEST(MakeEntryRelativePath, NamesThatLeaveTheFolderAreRefused) {
    for (const wchar_t* name : {L"",
                                L"..",
                                L".",
                                L"../x",
                                L"..\\x",
                                L"a/../../x",
                                L"a/..",
                                L"./x",
                                L"/x",
                                L"\\x",
                                L"\\\\server\\share\\x",
                                L"C:/x",
                                L"C:x",
                                L"c:\\x",
                                L"a//b",
                                L"a/",
                                L"x:stream",
                                L".. /x",
                                L"a/. ./x",
                                L"x.",
                                L"x ",
                                L"\\\\?\\C:\\x"}) {
        SCOPED_TRACE(vorn::WideToUtf8(name));
        std::wstring out = L"unchanged";
        EXPECT_FALSE(MakeEntryRelativePath(name, out));
        EXPECT_EQ(out, L"unchanged");
    }
}

TEST(MakeEntryRelativePath, DeviceNamesAndForbiddenCharactersAreRefused) {
    for (const wchar_t* name :
         {L"CON", L"nul.txt", L"a/Aux", L"COM1", L"lpt9.log", L"PRN .x", L"CONIN$", L"a<b", L"a>b",
          L"a|b", L"a\"b", L"a?b", L"a*b", L"a\tb", L"a\x01"}) {
        SCOPED_TRACE(vorn::WideToUtf8(name));
        std::wstring out;
        EXPECT_FALSE(MakeEntryRelativePath(name, out));
    }
}
