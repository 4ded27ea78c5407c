#include <gtest/gtest.h>

#include <windows.h>

#include "util/codepage_rules.h"
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
    // A Chinese folder and Thai, in the code pages the tests run under; "" where
    // the code page has no form for them.
    struct Case {
        UINT acp;
        const char* folder;
        const char* thai;
    };
    const Case cases[] = {
        {936, "D:\\\xD3\xCE\xCF\xB7", ""},
        {1252, "", ""},
        {65001, "D:\\\xE6\xB8\xB8\xE6\x88\x8F", "x\xE0\xB8\x81"},
    };
    const UINT acp = ::GetACP();
    for (const Case& c : cases) {
        if (c.acp != acp)
            continue;
        EXPECT_EQ(WideToAnsi(L"D:\\游戏"), c.folder);
        EXPECT_EQ(WideToAnsi(L"x\u0E01"), c.thai);
        if (*c.folder != '\0')
            EXPECT_EQ(AnsiToWide(c.folder), L"D:\\游戏");
    }
    const std::string roundTrip = WideToAnsi(L"\u00E9");
    if (acp == 1252)
        EXPECT_EQ(roundTrip, "\xE9");
    if (!roundTrip.empty())
        EXPECT_EQ(AnsiToWide(roundTrip), L"\u00E9");
    // a lone surrogate half has no form in any code page
    EXPECT_EQ(WideToAnsi(std::wstring(L"a") + wchar_t(0xD800)), "");
}

// The flags each code page accepts; Wine takes any, Windows fails the call.
TEST(CodePages, ConversionFlagsPerCodePage) {
    struct Case {
        UINT codePage;
        DWORD toNarrow;
        bool usedDefault;
        DWORD toWide;
        bool roundTrip;
    };
    const Case cases[] = {
        {936, WC_NO_BEST_FIT_CHARS, true, MB_ERR_INVALID_CHARS, false},
        {1252, WC_NO_BEST_FIT_CHARS, true, MB_ERR_INVALID_CHARS, false},
        {65001, WC_ERR_INVALID_CHARS, false, MB_ERR_INVALID_CHARS, false},
        {54936, WC_ERR_INVALID_CHARS, false, MB_ERR_INVALID_CHARS, false},
        {50220, 0, false, 0, true},
        {57011, 0, false, 0, true},
        {65000, 0, false, 0, true},
        {42, 0, false, 0, true},
    };
    for (const Case& c : cases) {
        const CodePageRules r = RulesForCodePage(c.codePage);
        EXPECT_EQ(r.toNarrowFlags, c.toNarrow) << c.codePage;
        EXPECT_EQ(r.usedDefaultPointer, c.usedDefault) << c.codePage;
        EXPECT_EQ(r.toWideFlags, c.toWide) << c.codePage;
        EXPECT_EQ(r.checkRoundTrip, c.roundTrip) << c.codePage;
    }
    EXPECT_EQ(ResolveCodePage(CP_ACP), ::GetACP());
    EXPECT_EQ(ResolveCodePage(936), 936u);
    EXPECT_EQ(NarrowBufferBytes(936, MAX_PATH), size_t(MAX_PATH));
    EXPECT_EQ(NarrowBufferBytes(CP_UTF8, MAX_PATH), size_t(3 * MAX_PATH));
}
