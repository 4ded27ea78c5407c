#include <gtest/gtest.h>

#include <windows.h>

#include "util/string_util.h"

using namespace vorn;

TEST(SplitString, KeepsEmptyPieces) {
    std::vector<std::string> out;
    SplitString("a,b,", ",", out);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b", ""}));
    out.clear();
    SplitString("", ",", out);
    EXPECT_EQ(out, (std::vector<std::string>{""}));
    out.clear();
    SplitString(",", ",", out);
    EXPECT_EQ(out, (std::vector<std::string>{"", ""}));
    out.clear();
    SplitString("a,,b", ",", out);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "", "b"}));
    out.clear();
    SplitString("x\r\n{\"a\":1}\r\n", "\r\n", out);
    EXPECT_EQ(out, (std::vector<std::string>{"x", "{\"a\":1}", ""}));

    std::vector<std::wstring> wide{L"kept"};
    SplitString(std::wstring(L"bin/data/x.dat"), std::wstring(L"/"), wide);
    EXPECT_EQ(wide, (std::vector<std::wstring>{L"kept", L"bin", L"data", L"x.dat"}));
}

TEST(Utf8, RoundTripsAndRejectsInvalidSequences) {
    const std::wstring chinese = L"安装完成";
    EXPECT_EQ(WideToUtf8(chinese), "\xE5\xAE\x89\xE8\xA3\x85\xE5\xAE\x8C\xE6\x88\x90");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(chinese)), chinese);
    EXPECT_EQ(Utf8ToWide("plain"), L"plain");
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(Utf8ToWide("ab\xFF"), L"");            // foreign byte
    EXPECT_EQ(Utf8ToWide("ab\xE5\xAE"), L"");        // cut sequence
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"");          // overlong form
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), L"");  // beyond U+10FFFF
    // a code point above U+FFFF keeps only its low 16 bits
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), std::wstring(1, wchar_t(0xF600)));
    // surrogate halves are encoded one by one
    const std::wstring pair = {wchar_t(0xD83D), wchar_t(0xDE00)};
    EXPECT_EQ(WideToUtf8(pair), "\xED\xA0\xBD\xED\xB8\x80");
}

TEST(CodePages, ChineseCodePageIsIndependentOfTheAnsiCodePage) {
    EXPECT_EQ(WideToChs(L"渠道A"),
              "\xC7\xFE\xB5\xC0"
              "A");
    EXPECT_EQ(ChsToWide("\xC7\xFE\xB5\xC0"
                        "A"),
              L"渠道A");
    EXPECT_EQ(WideToChs(L""), "");
    // a character that code page 936 cannot represent empties the whole text
    EXPECT_EQ(WideToChs(L"a\u0E01b"), "");
}

TEST(CodePages, AnsiConversionsFollowTheSystemCodePage) {
    EXPECT_EQ(AnsiToWide("ascii"), L"ascii");
    EXPECT_EQ(WideToAnsi(L"ascii"), "ascii");
    // Thai has no form in 936 or the western code pages the tests run under
    EXPECT_EQ(WideToAnsi(L"x\u0E01"), "");
    const std::string roundTrip = WideToAnsi(L"\u00E9");
    if (::GetACP() == 1252)
        EXPECT_EQ(roundTrip, "\xE9");
    if (!roundTrip.empty())
        EXPECT_EQ(AnsiToWide(roundTrip), L"\u00E9");
}
