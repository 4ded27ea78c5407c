// The pieces of vorn-services that decide what goes on the wire.
#include <gtest/gtest.h>

#include "cafe.h"
#include "catalogue.h"
#include "codepage.h"
#include "faults.h"
#include "reports.h"

using namespace vorn::svc;

TEST(Pieces, ChannelIsCutBetweenTheMarkers) {
    std::string channel;
    ASSERT_TRUE(
        ExtractChannel("{\t\"clientType\": 4,\t\"channelNo\" : \"vx_pc_000001\" }", &channel));
    EXPECT_EQ(channel, "vx_pc_000001");
    // The last `" }` ends it, so quotes and the end marker inside stay in.
    ASSERT_TRUE(ExtractChannel("{\t\"channelNo\" : \"a\" }b\"c\" }", &channel));
    EXPECT_EQ(channel, "a\" }b\"c");
    ASSERT_TRUE(ExtractChannel("{\t\"channelNo\" : \"\" }", &channel));
    EXPECT_EQ(channel, "");
    EXPECT_FALSE(ExtractChannel("{\"channelNo\":\"x\"}", &channel));
    EXPECT_FALSE(ExtractChannel("\" } \"channelNo\" : \"x", &channel));
    EXPECT_FALSE(ExtractChannel("", &channel));
}

TEST(Pieces, CodePagesConvertLikeWindows) {
    EXPECT_EQ(CodepageToUtf8("\xC7\xFE\xB5\xC0\xD2\xBB", 936), "渠道一");
    // CP1252: the euro sign, and an undefined byte that Windows passes through as U+0081.
    EXPECT_EQ(CodepageToUtf8("\x80\x81\xE9", 1252), "\xE2\x82\xAC\xC2\x81\xC3\xA9");
    bool exact = true;
    EXPECT_EQ(CodepageToUtf8("a\xFF", 936, &exact), "a\xEF\xBF\xBD");
    EXPECT_FALSE(exact);
    EXPECT_EQ(SanitizeUtf8("ok\xC3"), "ok\xEF\xBF\xBD");
    std::string back;
    ASSERT_TRUE(Utf8ToCodepage("安装", 936, &back));
    EXPECT_EQ(back, "\xB0\xB2\xD7\xB0");
    std::string bytes;
    EXPECT_TRUE(FromHex(ToHex(std::string("\x00\xFFz", 3)), &bytes));
    EXPECT_EQ(bytes, std::string("\x00\xFFz", 3));
    EXPECT_FALSE(FromHex("abc", &bytes));
    EXPECT_FALSE(FromHex("zz", &bytes));
}

TEST(Pieces, CafeKeyAndEncoding) {
    CafeKey key{};
    ASSERT_TRUE(ParseCafeKey("0x5A3C9E17,0xC4D2816B", &key));
    EXPECT_EQ(key, (CafeKey{0x17, 0x9E, 0x3C, 0x5A, 0x6B, 0x81, 0xD2, 0xC4}));
    EXPECT_FALSE(ParseCafeKey("0x5A3C9E17", &key));
    EXPECT_FALSE(ParseCafeKey("0x1FFFFFFFF,1", &key));
    EXPECT_FALSE(ParseCafeKey("12x,1", &key));
    EXPECT_FALSE(ParseCafeKey("-1,1", &key));

    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("\xFB\xFF"), "+/8=");

    const std::string doc = "0123456789";
    EXPECT_EQ(ScrambleCafe(ScrambleCafe(doc, key), key), doc);
    EXPECT_EQ(ScrambleCafe(doc, key)[8], static_cast<char>('8' ^ 0x17));
}

TEST(Pieces, ReportSignatureIsOverUtf8) {
    // MD5 of "7QW2LK4PZX91MDR3YHVCNewVX|Install|{}7QW2LK4PZX91MDR3YHVC".
    EXPECT_EQ(ReportSignature("{}", 1252), "61E7688B2B543C112553E0B7734246D4");
    EXPECT_EQ(ReportSignature("{}", 1252), ReportSignature("{}", 936));
    // Same text in two code pages gives the same signature.
    EXPECT_EQ(ReportSignature("\xB0\xB2\xD7\xB0", 936), ReportSignature("安装", 65001));
    EXPECT_NE(ReportSignature("\xB0\xB2\xD7\xB0", 936), ReportSignature("\xB0\xB2\xD7\xB0", 1252));
}

TEST(Pieces, FaultsParseAndMatch) {
    std::vector<Fault> faults;
    std::string error;
    ASSERT_TRUE(ParseFaults("{\"path\":\"/a\",\"status\":204,\"times\":1}", &faults, &error));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_FALSE(faults[0].hasBody);
    ASSERT_TRUE(
        ParseFaults("[{\"path\":\"/a\",\"body_hex\":\"00ff\",\"status\":500},"
                    "{\"path\":\"*\",\"scheme\":\"http\",\"delay_ms\":5}]",
                    &faults, &error));
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0].body, std::string("\x00\xFF", 2));

    for (const char* bad :
         {"x", "{}", "{\"path\":\"/a\",\"status\":\"500\"}", "{\"path\":\"/a\",\"scheme\":\"ftp\"}",
          "{\"path\":\"/a\",\"body_hex\":\"0g\"}", "[{\"path\":\"/a\"},3]",
          "{\"path\":\"/a\",\"delay_ms\":-1}"}) {
        EXPECT_FALSE(ParseFaults(bad, &faults, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }

    FaultTable table;
    ASSERT_TRUE(
        ParseFaults("[{\"path\":\"/a\",\"scheme\":\"https\",\"times\":1,\"status\":500},"
                    "{\"path\":\"*\",\"method\":\"POST\",\"status\":503}]",
                    &faults, &error));
    table.Add(faults);
    EXPECT_FALSE(table.Take("/a", "http", "GET", 80));
    EXPECT_EQ(table.Take("/a", "https", "GET", 443)->status, 500);
    EXPECT_FALSE(table.Take("/a", "https", "GET", 443));  // used up
    EXPECT_EQ(table.Take("/b", "http", "POST", 80)->status, 503);
    EXPECT_EQ(table.List()[0].times, 0);
    EXPECT_EQ(table.List()[0].hits, 1);
    table.Clear();
    EXPECT_TRUE(table.List().empty());
}
