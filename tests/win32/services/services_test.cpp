// The installer's side of the vendor services against vorn-services: the
// client-version request, the cafe information and the event reports, each a
// real request; the log lines are read back from the installer's log.
#include <gtest/gtest.h>

#include <cstdio>

#include "installer/buildconfig.h"
#include "installer/channelcipher.h"
#include "installer/httpinstallinfo.h"
#include "installer/installerreportdata.h"
#include "services/servicetest.h"
#include "util/string_util.h"

using namespace vorn;
using namespace vorn::test;

namespace {

const char kVersionPath[] = "/api/v1/sys/getClientVersion";

std::string Hex(const std::string& bytes) {
    std::string out;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof(pair), "%02x", c);
        out += pair;
    }
    return out;
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string Scramble(const std::string& plain) {
    const uint32_t halves[2] = {VORN_CAFE_KEY_LOW, VORN_CAFE_KEY_HIGH};
    std::string out = plain;
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] =
            static_cast<char>(out[i] ^ static_cast<char>(halves[(i % 8) / 4] >> (8 * (i % 4))));
    }
    return out;
}

// A JSON string literal of text (quotes, backslashes and control characters escaped).
std::string Quoted(const std::string& text) {
    Json s(cJSON_CreateString(text.c_str()));
    char* printed = cJSON_PrintUnformatted(s.get());
    std::string out = printed;
    cJSON_free(printed);
    return out;
}

bool Fault(const std::string& path, int status, const std::string& body) {
    // As bytes, so that an answer may hold what is not UTF-8.
    return Services::AddFault("{\"path\":\"" + path + "\",\"status\":" + std::to_string(status) +
                              ",\"body_hex\":\"" + Hex(body) + "\"}");
}

// The channel file that the start-up step would have written.
bool WriteChannelFile(const TempDir& temp, const std::string& iniText) {
    std::vector<uint8_t> cipher;
    std::string error;
    if (!EncryptChannelData(std::vector<uint8_t>(iniText.begin(), iniText.end()),
                            reinterpret_cast<const uint8_t*>(VORN_CHANNEL_KEY), cipher, error)) {
        return false;
    }
    return WriteBytes(temp.File(L"ZizUdir.dat"), std::string(cipher.begin(), cipher.end()));
}

class ServiceTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
        ASSERT_TRUE(Services::ClearFaults());
        ASSERT_TRUE(log.InstallCa());
        requestsFrom = Services::RecordCount(L"requests.jsonl");
        reportsFrom = Services::RecordCount(L"reports.jsonl");
        info = HttpInstallInfo::Instance();
        report = CInstallerReportData::Instance();
        info->barInfo.clear();
    }
    size_t Requests(const std::string& path) {
        size_t n = 0;
        for (const Json& r : Services::Records(L"requests.jsonl", requestsFrom)) {
            if (JsonText(r.get(), "path") == path)
                ++n;
        }
        return n;
    }
    LogCapture log;
    size_t requestsFrom = 0, reportsFrom = 0;
    HttpInstallInfo* info = nullptr;
    CInstallerReportData* report = nullptr;
};

}  // namespace

// ---------------------------------------------------------------- client version

class ClientVersion : public ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_TRUE(WriteChannelFile(log.Temp(), "[Public]\r\nchannel=vx_pc_000001\r\n"));
        info->clientVersion = L"old";
        info->downloadUrl = L"old-url";
        info->apkSize = 7;
        info->crc = 8;
    }
    bool Answer(int status, const std::string& body) { return Fault(kVersionPath, status, body); }
    void ExpectKept() {
        EXPECT_EQ(info->clientVersion, L"old");
        EXPECT_EQ(info->downloadUrl, L"old-url");
        EXPECT_EQ(info->apkSize, 7);
        EXPECT_EQ(info->crc, 8);
    }
    const std::string ok_ =
        "{\"success\":true,\"data\":{\"downloadUrl\":\"https://dl.x/p.7z\",\"apkSize\":\"123\","
        "\"crc\":\"4294967295\",\"clientVersion\":\"3.1\"}}";
};

TEST_F(ClientVersion, CatalogueAnswerIsStoredAndLogged) {
    ASSERT_TRUE(info->RequestInstallInfo());
    EXPECT_EQ(info->channel, L"vx_pc_000001");
    EXPECT_EQ(report->b_channelid, "vx_pc_000001");
    EXPECT_EQ(info->clientVersion, L"1.0.0");
    EXPECT_EQ(info->downloadUrl, L"https://" VORN_HOST_GREEN_PACKAGE L"/pkg/velto/client.7z");
    EXPECT_EQ(info->apkSize, 20);  // "velto client package"
    EXPECT_GT(info->crc, 0);

    const std::string body = "{\t\"clientType\": 4,\t\"channelNo\" : \"vx_pc_000001\" }";
    const auto records = Services::Records(L"requests.jsonl", requestsFrom);
    ASSERT_FALSE(records.empty());
    const cJSON* last = records.back().get();
    EXPECT_EQ(JsonText(last, "path"), kVersionPath);
    EXPECT_EQ(JsonText(last, "scheme"), "https");
    EXPECT_EQ(JsonText(last, "body_hex"), Hex(body));
    EXPECT_EQ(JsonText(cJSON_GetObjectItem(last, "headers"), "Content-Type"), "application/json");

    EXPECT_TRUE(log.Has(L"[Info]| Get /pc/UpdateRequest Start"));
    EXPECT_TRUE(
        log.Has(L"[Info]| Get /pc/UpdateRequest Start PostMessage[" + Utf8ToWide(body) + L"]"));
    bool response = false;
    for (const std::wstring& line : log.Lines()) {
        if (line.rfind(L"[Info]| Get /pc/UpdateRequest response[{\"success\":true", 0) == 0 &&
            line.size() > 2 && line.substr(line.size() - 2) == L"] ") {
            response = true;
        }
    }
    EXPECT_TRUE(response);
}

TEST_F(ClientVersion, TextLineBeforeTheJsonIsSkipped) {
    ASSERT_TRUE(Answer(200, "some banner\r\n" + ok_));
    ASSERT_TRUE(info->RequestInstallInfo());
    EXPECT_EQ(info->clientVersion, L"3.1");
    EXPECT_EQ(info->downloadUrl, L"https://dl.x/p.7z");
    EXPECT_EQ(info->apkSize, 123);
    EXPECT_EQ(info->crc, 4294967295LL);  // 2^32 - 1 as a 64-bit value
}

TEST_F(ClientVersion, CrlfAfterTheJsonFailsToParse) {
    ASSERT_TRUE(Answer(200, ok_ + "\r\n"));
    EXPECT_FALSE(info->RequestInstallInfo());
    EXPECT_TRUE(log.Has(L"[Error]| Get /pc/UpdateRequest readerUpdate.parse false"));
    ExpectKept();
}

TEST_F(ClientVersion, SuccessAsTextFails) {
    ASSERT_TRUE(Answer(200, "{\"success\":\"true\",\"data\":{\"downloadUrl\":\"u\"}}"));
    EXPECT_FALSE(info->RequestInstallInfo());
    EXPECT_TRUE(log.Has(L"[Error]| Get /pc/UpdateRequest Failed  isSuccess false"));
    ExpectKept();
}

TEST_F(ClientVersion, StatusIsNotLookedAt) {
    ASSERT_TRUE(Answer(404, ok_));
    EXPECT_TRUE(info->RequestInstallInfo());
    EXPECT_EQ(info->clientVersion, L"3.1");
    EXPECT_EQ(Requests(kVersionPath), 1u);  // no HTTP attempt either
}

TEST_F(ClientVersion, ZeroSizeIsAnAnswer) {
    ASSERT_TRUE(Answer(200,
                       "{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":\"0\","
                       "\"crc\":\"0\",\"clientVersion\":\"\"}}"));
    EXPECT_TRUE(info->RequestInstallInfo());
    EXPECT_EQ(info->apkSize, 0);
    EXPECT_EQ(info->downloadUrl, L"u");
}

TEST_F(ClientVersion, UnusableAnswersFailInOrder) {
    struct Case {
        std::string answer;
        const wchar_t* line;
    } cases[] = {
        {"<html>502</html>", L"[Error]| Get /pc/UpdateRequest readerUpdate.parse false"},
        {"[1,2]", L"[Error]| Get /pc/UpdateRequest Failed  isSuccess false"},
        {"{\"success\":true,\"data\":\"x\"}",
         L"[Error]| Get /pc/UpdateRequest Failed  downloadUrl empty"},
        {"{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":12,\"crc\":\"1\"}}",
         L"[Error]| Get /pc/UpdateRequest Failed  apkSize or crc invalid"},
        {"{\"success\":true,\"data\":{\"downloadUrl\":\"u\",\"apkSize\":\"1\",\"crc\":\"n/a\"}}",
         L"[Error]| Get /pc/UpdateRequest Failed  apkSize or crc invalid"},
        {"{\"success\":true,\"data\":{\"downloadUrl\":\"\xff\xfe\",\"apkSize\":\"1\","
         "\"crc\":\"1\"}}",
         L"[Error]| Get /pc/UpdateRequest Failed  downloadUrl empty"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Services::ClearFaults());
        ASSERT_TRUE(Answer(200, c.answer));
        const size_t before = log.Count(c.line);
        EXPECT_FALSE(info->RequestInstallInfo()) << c.answer;
        EXPECT_EQ(log.Count(c.line), before + 1) << c.answer;
        ExpectKept();
    }
}

TEST_F(ClientVersion, QuoteInTheChannelGoesOutUnescaped) {
    ASSERT_TRUE(WriteChannelFile(log.Temp(), "[Public]\r\nchannel=vx\"q\r\n"));
    EXPECT_TRUE(info->RequestInstallInfo());  // the catalogue's default entry
    EXPECT_EQ(info->clientVersion, L"0.9.0");
    const auto records = Services::Records(L"requests.jsonl", requestsFrom);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(JsonText(records.back().get(), "body_hex"),
              Hex("{\t\"clientType\": 4,\t\"channelNo\" : \"vx\"q\" }"));
    EXPECT_EQ(report->b_channelid, "vx\"q");
}

// ---------------------------------------------------------------- cafe information

class Cafe : public ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        report->b_icafe_guid = "before";
        report->b_charge_type = "before";
        report->b_charge_id = "before";
        report->b_manage_type = "before";
        report->b_manage_id = "before";
    }
    bool Answer(const std::string& body) { return Fault("/CXBasicInfo", 200, body); }
    bool HasPrefix(const std::wstring& prefix) {
        for (const std::wstring& line : log.Lines()) {
            if (line.rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    }
};

TEST_F(Cafe, ServiceDocumentFillsTheReporter) {
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, Services::Read(L"cafe.json"));
    EXPECT_EQ(report->b_icafe_guid, "cafe-0001");
    EXPECT_EQ(report->b_charge_type, "hour");
    EXPECT_EQ(report->b_charge_id, "c7");
    EXPECT_EQ(report->b_manage_type, "m");
    EXPECT_EQ(report->b_manage_id, "42");
    for (const wchar_t* line :
         {L"[Info]| start base64 and encrypt start", L"[Info]| start base64 and encrypt success",
          L"[Info]|BarInfoRespond guid [cafe-0001]", L"[Info]|BarInfoRespond charge_type [hour]",
          L"[Info]|BarInfoRespond charge_id [c7]", L"[Info]|BarInfoRespond manage_type [m]",
          L"[Info]|BarInfoRespond manage_id [42]"}) {
        EXPECT_TRUE(log.Has(line)) << line;
    }
    // Once fetched, not again.
    const size_t asked = Requests("/CXBasicInfo");
    info->GetWebBarInfo();
    EXPECT_EQ(Requests("/CXBasicInfo"), asked);
    EXPECT_TRUE(log.Has(L"[Info]| Get /CXBasicInfo Recv Message Success not again"));
}

TEST_F(Cafe, TextAroundTheMarkerAndParenthesesInStrings) {
    const std::string doc =
        "{\"guid\":\"g(1)\",\"bar_charge\":{\"charge_type\":\"t)\",\"charge_id\":\"c\"},"
        "\"bar_manage\":{\"manage_type\":\"mt\",\"manage_id\":\"mi\"}}";
    ASSERT_TRUE(Answer("var a = f(1); CXR_LOC_JSONP({\"note\":\"a)b\",\"data\":\"" +
                       Base64(Scramble(doc)) + "\"});\n"));
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, doc);
    EXPECT_EQ(report->b_icafe_guid, "g(1)");
    EXPECT_EQ(report->b_charge_type, "t)");
    EXPECT_EQ(report->b_manage_id, "mi");
    EXPECT_TRUE(log.Has(L"[Info]|BarInfoRespond guid [g(1)]"));
}

TEST_F(Cafe, TwoPaddingCharacters) {
    const std::string doc = "{\"guid\":\"pad-1\"}";  // 16 bytes: "==" at the end
    ASSERT_EQ(doc.size() % 3, 1u);
    ASSERT_TRUE(Services::Write(L"cafe.json", doc));
    const std::string answer = info->GetRequest();
    ASSERT_NE(answer.find("==\""), std::string::npos) << answer;
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, doc);
    EXPECT_EQ(report->b_icafe_guid, "pad-1");
}

TEST_F(Cafe, LineBrokenBase64StopsAtTheBreak) {
    const std::string doc =
        "{\"guid\":\"a-rather-long-cafe-identifier-0123456789\",\"bar_charge\":{\"charge_type\":"
        "\"hour\",\"charge_id\":\"c7\"}}";
    std::string text = Base64(Scramble(doc));
    ASSERT_GT(text.size(), 76u);
    for (size_t i = 76; i < text.size(); i += 77)
        text.insert(i, "\n");
    ASSERT_TRUE(Answer("CXR_LOC_JSONP({\"data\":" + Quoted(text) + "})"));
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, doc.substr(0, 57));  // 76 characters give 57 bytes
    EXPECT_EQ(report->b_icafe_guid, "before");
    EXPECT_FALSE(HasPrefix(L"[Info]|BarInfoRespond guid"));
    EXPECT_TRUE(log.Has(L"[Info]| start base64 and encrypt success"));
}

TEST_F(Cafe, NumericGuidIsSkipped) {
    ASSERT_TRUE(Services::Write(L"cafe.json",
                                "{\"guid\":123,\"bar_charge\":{\"charge_type\":\"a\","
                                "\"charge_id\":5},\"bar_manage\":\"none\"}"));
    info->GetWebBarInfo();
    EXPECT_EQ(report->b_icafe_guid, "before");
    EXPECT_EQ(report->b_charge_type, "a");
    EXPECT_EQ(report->b_charge_id, "before");
    EXPECT_EQ(report->b_manage_type, "before");
    EXPECT_FALSE(HasPrefix(L"[Info]|BarInfoRespond guid"));
    EXPECT_FALSE(HasPrefix(L"[Info]|BarInfoRespond charge_id"));
}

TEST_F(Cafe, DocumentWithoutBarManage) {
    ASSERT_TRUE(Services::Write(
        L"cafe.json",
        "{\"guid\":\"g2\",\"bar_charge\":{\"charge_type\":\"t2\",\"charge_id\":\"i2\"}}"));
    info->GetWebBarInfo();
    EXPECT_EQ(report->b_icafe_guid, "g2");
    EXPECT_EQ(report->b_charge_type, "t2");
    EXPECT_EQ(report->b_charge_id, "i2");
    EXPECT_EQ(report->b_manage_type, "before");
    EXPECT_EQ(report->b_manage_id, "before");
    EXPECT_FALSE(HasPrefix(L"[Info]|BarInfoRespond manage"));
}

TEST_F(Cafe, ZeroByteCutsTheDocument) {
    ASSERT_TRUE(Services::Write(L"cafe.json", std::string("{\"guid\":\"a\0b\"}", 14)));
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, "{\"guid\":\"a");
    EXPECT_EQ(report->b_icafe_guid, "before");
    // Not empty: not fetched again.
    info->GetWebBarInfo();
    EXPECT_TRUE(log.Has(L"[Info]| Get /CXBasicInfo Recv Message Success not again"));
}

TEST_F(Cafe, BrokenWrappersEndQuietly) {
    struct Case {
        std::string answer;
        const wchar_t* line;
        bool decoded;
    } cases[] = {
        {"f(x) CXR_LOC_JSONP({\"data\":\"\"", L"[Info]|BarInfoRespond cann't find CXR_LOC_JSONP",
         false},
        {"{\"data\":\"eA==\"}", L"[Info]|BarInfoRespond cann't find CXR_LOC_JSONP", false},
        {"CXR_LOC_JSONP({\"data\":5})", L"[Info]| Get /CXBasicInfo Recv jason  data error", false},
        {"CXR_LOC_JSONP({\"other\":\"eA==\"})", L"[Info]| Get /CXBasicInfo Recv jason  data error",
         false},
        {"CXR_LOC_JSONP(not json)", L"[Info]|BarInfoRespond Root == NULL", true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Services::ClearFaults());
        ASSERT_TRUE(Answer(c.answer));
        const size_t lines = log.Count(c.line);
        const size_t decodes = log.Count(L"[Info]| start base64 and encrypt success");
        info->GetWebBarInfo();
        EXPECT_EQ(log.Count(c.line), lines + 1) << c.answer;
        EXPECT_EQ(log.Count(L"[Info]| start base64 and encrypt success"), decodes + c.decoded)
            << c.answer;
        EXPECT_EQ(info->barInfo, "") << c.answer;
        EXPECT_EQ(report->b_icafe_guid, "before");
    }
    ASSERT_TRUE(Services::ClearFaults());
    ASSERT_TRUE(Fault("/CXBasicInfo", 200, ""));
    info->GetWebBarInfo();
    EXPECT_TRUE(log.Has(L"[Info]| Get /CXBasicInfo Recv Message Empty"));
}

TEST_F(Cafe, AnswersOverTheLimitAreDropped) {
    const wchar_t dropped[] = L"[Error]|answer longer than 1048576 bytes dropped";
    for (const char* fault :
         {"{\"path\":\"/CXBasicInfo\",\"status\":200,\"body_size\":1048577}",
          "{\"path\":\"/"
          "CXBasicInfo\",\"status\":200,\"body\":\"CXR_LOC_JSONP(\",\"endless\":true}"}) {
        ASSERT_TRUE(Services::ClearFaults());
        ASSERT_TRUE(Services::AddFault(fault));
        const size_t before = log.Count(dropped);
        EXPECT_EQ(info->GetRequest(), "") << fault;
        EXPECT_EQ(log.Count(dropped), before + 1) << fault;
    }
    info->GetWebBarInfo();
    EXPECT_EQ(info->barInfo, "");
    EXPECT_EQ(report->b_icafe_guid, "before");
}

TEST_F(Cafe, NoHttpFallbackAndNoBundleLine) {
    ::DeleteFileW(log.Temp().File(L"cacert.pem").c_str());
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/CXBasicInfo\",\"status\":204}"));
    EXPECT_EQ(info->GetRequest(), "");
    EXPECT_EQ(log.Count(L"[Error]|can not find cacert file"), 1u);
    const auto records = Services::Records(L"requests.jsonl", requestsFrom);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(JsonText(records[0].get(), "scheme"), "https");
    const cJSON* port = cJSON_GetObjectItem(records[0].get(), "port");
    ASSERT_TRUE(cJSON_IsNumber(port));
    EXPECT_EQ(port->valueint, 9186);
}

// ---------------------------------------------------------------- reports

class Reports : public ServiceTest {
  protected:
    std::string ExpectedBody(const std::string& msg, int type, int ret, int from) {
        return "{\"b_guid\":\"" + report->b_guid +
               "\",\"b_channelid\":" + Quoted(report->b_channelid) + ",\"b_mac\":\"" +
               report->b_mac + "\",\"b_icafe_guid\":" + Quoted(report->b_icafe_guid) +
               ",\"b_charge_type\":" + Quoted(report->b_charge_type) +
               ",\"b_charge_id\":" + Quoted(report->b_charge_id) +
               ",\"b_manage_type\":" + Quoted(report->b_manage_type) +
               ",\"b_manage_id\":" + Quoted(report->b_manage_id) +
               ",\"event_type\":" + std::to_string(type) + ",\"event_ret\":" + std::to_string(ret) +
               ",\"event_from\":" + std::to_string(from) + ",\"event_msg\":" + Quoted(msg) + "}";
    }
    std::vector<Json> NewReports() { return Services::Records(L"reports.jsonl", reportsFrom); }
};

TEST_F(Reports, BodyAndHeadersAsSent) {
    report->b_channelid = "vx_pc_000001";
    report->b_icafe_guid = "cafe \"7\"";
    report->b_charge_type = "a\tb";
    report->b_charge_id = "";
    report->b_manage_type = "back\\slash";
    report->b_manage_id = "42";
    const std::string msg = "say \"hi\"\tnow";
    EXPECT_TRUE(report->ReportData(3, 1, 5, msg));
    const auto records = NewReports();
    ASSERT_EQ(records.size(), 1u);
    const cJSON* r = records[0].get();
    const std::string body = ExpectedBody(msg, 3, 1, 5);
    ASSERT_NE(body.find("\\\"hi\\\"\\tnow"), std::string::npos);
    EXPECT_EQ(JsonText(r, "body_hex"), Hex(body));
    EXPECT_EQ(JsonText(r, "scheme"), "https");
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItem(r, "sign_valid")));
    const cJSON* headers = cJSON_GetObjectItem(r, "headers");
    EXPECT_EQ(JsonText(headers, "sign"), JsonText(r, "sign_expected"));
    EXPECT_EQ(JsonText(headers, "sign"), CInstallerReportData::Sign(body));
    EXPECT_EQ(JsonText(headers, "projectId"), "NewVX");
    EXPECT_EQ(JsonText(headers, "businessId"), "Install");
    EXPECT_EQ(JsonText(headers, "Content-Type"), "application/json");
    EXPECT_TRUE(log.Has(L"[Info]|Post " VORN_HOST_REPORT L"  /commonReport/report [" +
                        Utf8ToWide(body) + L"]  response[{\"code\":0,\"msg\":\"ok\"}]"));
}

TEST_F(Reports, SameRunIdWithinARunNewInTheNext) {
    ASSERT_EQ(report->b_guid.size(), 32u);
    EXPECT_TRUE(report->ReportData(1, 1, 1, "check  environment"));
    EXPECT_TRUE(report->ReportData(1, 1, 1, "check  environment"));
    TempDir childTemp;
    ASSERT_EQ(RunProcess(OwnPath(),
                         L"--gtest_filter=ReportsChild.* --data=" + WideArg("data") + L" --child=1",
                         childTemp.Path()),
              0);
    const auto records = NewReports();
    ASSERT_EQ(records.size(), 3u);
    auto guidOf = [](const cJSON* r) {
        return JsonText(cJSON_GetObjectItem(r, "body_json"), "b_guid");
    };
    EXPECT_EQ(guidOf(records[0].get()), report->b_guid);
    EXPECT_EQ(guidOf(records[1].get()), report->b_guid);
    EXPECT_EQ(guidOf(records[2].get()).size(), 32u);
    EXPECT_NE(guidOf(records[2].get()), report->b_guid);
    EXPECT_EQ(JsonText(cJSON_GetObjectItem(records[2].get(), "body_json"), "event_msg"),
              "from the next run");
}

TEST(ReportsChild, Send) {
    if (Arg("child").empty())
        GTEST_SKIP() << "runs as a second run of the program";
    LogCapture log;
    ASSERT_TRUE(log.InstallCa());
    EXPECT_TRUE(CInstallerReportData::Instance()->ReportData(1, 1, 7, "from the next run"));
}

// Run with the Chinese locale (ANSI code page 936) and the services told so.
TEST_F(Reports, AnsiChannelSignedOverUtf8) {
    ASSERT_EQ(::GetACP(), 936u) << "needs Wine with a zh_CN locale";
    ASSERT_TRUE(WriteChannelFile(log.Temp(), "[Public]\r\nchannel=\xC7\xFE\xB5\xC0\r\n"));
    EXPECT_TRUE(info->RequestInstallInfo());
    EXPECT_EQ(info->channel, L"渠道");
    EXPECT_EQ(info->clientVersion, L"2.0.0");  // the catalogue's entry for 渠道
    EXPECT_EQ(report->b_channelid, "\xC7\xFE\xB5\xC0");

    EXPECT_TRUE(report->ReportData(2, 1, 1, "Install Page Init"));
    const auto records = NewReports();
    ASSERT_EQ(records.size(), 1u);
    const cJSON* r = records[0].get();
    EXPECT_NE(JsonText(r, "body_hex").find(Hex("\"b_channelid\":\"\xC7\xFE\xB5\xC0\"")),
              std::string::npos);
    EXPECT_EQ(JsonText(cJSON_GetObjectItem(r, "body_json"), "b_channelid"), "渠道");
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItem(r, "sign_valid")));
    EXPECT_TRUE(log.Has(L"[Info]|Post " VORN_HOST_REPORT L"  /commonReport/report [" +
                        AnsiToWide(ExpectedBody("Install Page Init", 2, 1, 1)) +
                        L"]  response[{\"code\":0,\"msg\":\"ok\"}]"));
}

// ---------------------------------------------------------------- nothing reachable

TEST(Offline, NothingAnswers) {
    LogCapture log;
    ASSERT_TRUE(WriteChannelFile(log.Temp(), "[Public]\r\nchannel=vx_pc_000001\r\n"));
    CInstallerReportData* report = CInstallerReportData::Instance();
    EXPECT_TRUE(report->ReportData(1, 1, 1, "check  environment"));
    std::string body;
    ASSERT_TRUE(report->BuildBody(1, 1, 1, "check  environment", body));
    EXPECT_TRUE(log.Has(L"[Info]|Post " VORN_HOST_REPORT L"  /commonReport/report [" +
                        AnsiToWide(body) + L"]  response[]"));
    EXPECT_EQ(log.Count(L"[Error]|can not find cacert file"), 1u);
    EXPECT_EQ(log.Count(L"[Info]|https turn to http"), 1u);

    HttpInstallInfo* info = HttpInstallInfo::Instance();
    EXPECT_FALSE(info->RequestInstallInfo());
    EXPECT_TRUE(log.Has(L"[Info]| Get /CXBasicInfo Recv Message Empty"));
    EXPECT_TRUE(log.Has(L"[Info]| Get /pc/UpdateRequest response[] "));
    EXPECT_TRUE(log.Has(L"[Error]| Get /pc/UpdateRequest readerUpdate.parse false"));
    EXPECT_EQ(report->b_channelid, "vx_pc_000001");
}
