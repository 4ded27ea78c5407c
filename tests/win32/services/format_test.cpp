// The formats of the vendor's services, checked without a server.
#include <gtest/gtest.h>

#include "installer/buildconfig.h"
#include "installer/httpinstallinfo.h"
#include "installer/installerreportdata.h"

using namespace vorn;

TEST(ClientVersionBody, FixedTextAroundTheUnescapedChannel) {
    const std::string body = BuildClientVersionBody("vx\"1");
    EXPECT_EQ(body, "{\t\"clientType\": 4,\t\"channelNo\" : \"vx\"1\" }");
    EXPECT_EQ(BuildClientVersionBody("").size(), 34u + 3u);
    // Code page 936 bytes go in unchanged.
    EXPECT_EQ(BuildClientVersionBody("\xC7\xFE\xB5\xC0").substr(34, 4), "\xC7\xFE\xB5\xC0");
}

TEST(ClientVersionAnswer, LastPieceAfterCrlfIsParsed) {
    ClientVersionAnswer a;
    ASSERT_EQ(ParseClientVersionAnswer(
                  "HTTP noise\r\n{\"success\":true,\"data\":{\"downloadUrl\":\"https://d/x.7z\","
                  "\"apkSize\":\"1024\",\"crc\":\"4294967295\",\"clientVersion\":\"1.2.3\"}}",
                  a),
              ClientVersionStatus::Ok);
    EXPECT_EQ(a.downloadUrl, "https://d/x.7z");
    EXPECT_EQ(a.clientVersion, "1.2.3");
    EXPECT_EQ(a.apkSize, 1024);
    EXPECT_EQ(a.crc, 4294967295LL);

    // A pair at the end leaves an empty last piece.
    EXPECT_EQ(ParseClientVersionAnswer("{\"success\":true}\r\n", a),
              ClientVersionStatus::ParseError);
    EXPECT_EQ(ParseClientVersionAnswer("", a), ClientVersionStatus::ParseError);
    EXPECT_EQ(ParseClientVersionAnswer("<html>404</html>", a), ClientVersionStatus::ParseError);
    // Comments are allowed in the default mode.
    EXPECT_EQ(ParseClientVersionAnswer("/* c */{\"success\":true,\"data\":{\"downloadUrl\":\"u\","
                                       "\"apkSize\":\"0\",\"crc\":\"0\"}}",
                                       a),
              ClientVersionStatus::Ok);
    EXPECT_EQ(a.apkSize, 0);
    EXPECT_EQ(a.clientVersion, "");
}

TEST(ClientVersionAnswer, OrderlyFailures) {
    ClientVersionAnswer a;
    a.downloadUrl = "kept";
    const char* notSuccess[] = {
        "{\"success\":\"true\",\"data\":{\"downloadUrl\":\"u\"}}",
        "{\"success\":1,\"data\":{\"downloadUrl\":\"u\"}}",
        "{\"success\":false}",
        "{\"data\":{}}",
        "[true]",
        "42",
        "null",
    };
    for (const char* text : notSuccess) {
        EXPECT_EQ(ParseClientVersionAnswer(text, a), ClientVersionStatus::NotSuccess) << text;
    }
    const char* urlEmpty[] = {
        "{\"success\":true}",
        "{\"success\":true,\"data\":\"x\"}",
        "{\"success\":true,\"data\":[1]}",
        "{\"success\":true,\"data\":{\"downloadUrl\":\"\"}}",
        "{\"success\":true,\"data\":{\"downloadUrl\":7}}",
    };
    for (const char* text : urlEmpty) {
        EXPECT_EQ(ParseClientVersionAnswer(text, a), ClientVersionStatus::UrlEmpty) << text;
    }
    const char* badNumber[] = {
        "{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"crc\":\"1\"}}",
        "{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":5,\"crc\":\"1\"}}",
        "{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":\"x1\",\"crc\":\"1\"}}",
        "{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":\"1\",\"crc\":\" \"}}",
    };
    for (const char* text : badNumber) {
        EXPECT_EQ(ParseClientVersionAnswer(text, a), ClientVersionStatus::BadNumber) << text;
    }
    EXPECT_EQ(a.downloadUrl, "kept");

    // Deep nesting makes JsonCpp throw; that is a parse failure, not a crash.
    EXPECT_EQ(ParseClientVersionAnswer(std::string(5000, '['), a), ClientVersionStatus::ParseError);
}

TEST(DecimalPrefix, LikeStrtoi64) {
    int64_t v = -7;
    EXPECT_TRUE(ParseDecimalPrefix("  \t+42abc", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ParseDecimalPrefix("-17", v));
    EXPECT_EQ(v, -17);
    EXPECT_TRUE(ParseDecimalPrefix("9223372036854775807", v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(ParseDecimalPrefix("99999999999999999999", v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(ParseDecimalPrefix("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_TRUE(ParseDecimalPrefix("-99999999999999999999", v));
    EXPECT_EQ(v, INT64_MIN);
    v = 5;
    EXPECT_FALSE(ParseDecimalPrefix("", v));
    EXPECT_FALSE(ParseDecimalPrefix("+", v));
    EXPECT_FALSE(ParseDecimalPrefix(" - 1", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(ParseDecimalPrefix("0x10", v));
    EXPECT_EQ(v, 0);
}

TEST(CafeAnswer, JsonpCut) {
    std::string p;
    ASSERT_TRUE(CutJsonp("junk CXR_LOC_JSONP({\"a\":\"(x)\"}) tail", p));
    EXPECT_EQ(p, "{\"a\":\"(x)\"}");
    ASSERT_TRUE(CutJsonp("CXR_LOC_JSONP(a)CXR_LOC_JSONP(b)", p));
    EXPECT_EQ(p, "a)CXR_LOC_JSONP(b");
    ASSERT_TRUE(CutJsonp("CXR_LOC_JSONP()", p));
    EXPECT_EQ(p, "");
    p = "untouched";
    EXPECT_FALSE(CutJsonp("CXR_LOC_JSONP({}", p));
    EXPECT_FALSE(CutJsonp("({})", p));
    // The only ")" stands before the marker: no negative length.
    EXPECT_FALSE(CutJsonp("f(x) CXR_LOC_JSONP({}", p));
    EXPECT_EQ(p, "untouched");
}

TEST(CafeAnswer, Base64Prefix) {
    EXPECT_EQ(DecodeBase64Prefix("aGVsbG8gd29ybGQ="), "hello world");
    EXPECT_EQ(DecodeBase64Prefix("aGk="), "hi");
    EXPECT_EQ(DecodeBase64Prefix("aGk"), "hi");
    EXPECT_EQ(DecodeBase64Prefix("aA=="), "h");
    EXPECT_EQ(DecodeBase64Prefix("aA"), "h");
    EXPECT_EQ(DecodeBase64Prefix("aGVsb"), "hel");  // a single left-over gives nothing
    EXPECT_EQ(DecodeBase64Prefix("aGVs\nbG8="), "hel");
    EXPECT_EQ(DecodeBase64Prefix("aG-VsbG8="), "h");
    EXPECT_EQ(DecodeBase64Prefix("=aGk"), "");
    EXPECT_EQ(DecodeBase64Prefix("+/+/"), "\xFB\xFF\xBF");
}

TEST(CafeAnswer, UnscrambleWithTheBuildKey) {
    // The key bytes of the two constants, little endian each.
    const uint32_t low = VORN_CAFE_KEY_LOW, high = VORN_CAFE_KEY_HIGH;
    const unsigned char key[8] = {
        static_cast<unsigned char>(low),        static_cast<unsigned char>(low >> 8),
        static_cast<unsigned char>(low >> 16),  static_cast<unsigned char>(low >> 24),
        static_cast<unsigned char>(high),       static_cast<unsigned char>(high >> 8),
        static_cast<unsigned char>(high >> 16), static_cast<unsigned char>(high >> 24)};
    if (low == 0x5A3C9E17u && high == 0xC4D2816Bu) {
        EXPECT_EQ(key[0], 0x17);
        EXPECT_EQ(key[7], 0xC4);
    }
    const std::string plain = "{\"guid\":\"cafe-0001\",\"x\":1}";
    std::string scrambled;
    for (size_t i = 0; i < plain.size(); ++i)
        scrambled += static_cast<char>(plain[i] ^ key[i % 8]);
    EXPECT_EQ(UnscrambleCafeData(scrambled), plain);
    // A zero byte in the result ends it.
    scrambled[5] = static_cast<char>(key[5]);
    EXPECT_EQ(UnscrambleCafeData(scrambled), plain.substr(0, 5));
    EXPECT_EQ(UnscrambleCafeData(""), "");
}

TEST(ReportBody, MemberOrderEscapesAndSignature) {
    CInstallerReportData* r = CInstallerReportData::Instance();
    r->b_guid = "0123456789abcdef0123456789abcdef";
    r->b_channelid = "vx_pc_000001";
    r->b_mac = "00:1A:2B:3C:4D:5E";
    r->b_icafe_guid = "g\"1";
    r->b_charge_type = "t\t2";
    r->b_charge_id = "";
    r->b_manage_type = "";
    r->b_manage_id = "m";
    std::string body;
    ASSERT_TRUE(r->BuildBody(3, -1, 2147483647, "check  environment", body));
    EXPECT_EQ(body,
              "{\"b_guid\":\"0123456789abcdef0123456789abcdef\",\"b_channelid\":\"vx_pc_000001\","
              "\"b_mac\":\"00:1A:2B:3C:4D:5E\",\"b_icafe_guid\":\"g\\\"1\",\"b_charge_type\":"
              "\"t\\t2\",\"b_charge_id\":\"\",\"b_manage_type\":\"\",\"b_manage_id\":\"m\","
              "\"event_type\":3,\"event_ret\":-1,\"event_from\":2147483647,"
              "\"event_msg\":\"check  environment\"}");
    // MD5 of key + "NewVX|Install|" + body + key, computed independently.
    EXPECT_EQ(CInstallerReportData::Sign(body), "91D83C89EFE474B2EE36AB2F5D6B17C1");
    EXPECT_EQ(CInstallerReportData::Sign(""), "67519129EA9EC5B00BDACA96A83264BB");

    ASSERT_TRUE(r->BuildBody(1, 1, 1, "a\nb\r\x01\\", body));
    EXPECT_NE(body.find("\"event_msg\":\"a\\nb\\r\\u0001\\\\\"}"), std::string::npos) << body;
}
