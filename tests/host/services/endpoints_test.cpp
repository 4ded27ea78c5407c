// The real program's answers: client version, cafe information, reports, files and records.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <random>

#include "server_process.h"

using namespace vorn::test;

namespace {

// The client-version body exactly as the installer builds it.
std::string VersionBody(const std::string& channel) {
    return "{\t\"clientType\": 4,\t\"channelNo\" : \"" + channel + "\" }";
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

std::string Md5Upper(const std::string& text) {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(text.data(), text.size(), d, &len, EVP_md5(), nullptr);
    std::string hex = Hex(std::string(reinterpret_cast<char*>(d), len));
    for (char& c : hex)
        c = static_cast<char>(toupper(c));
    return hex;
}

std::string Base64Decode(const std::string& text) {
    std::string out(text.size(), '\0');
    int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0)
        return "<bad base64>";
    size_t pad = 0;
    while (pad < text.size() && text[text.size() - 1 - pad] == '=')
        ++pad;
    out.resize(static_cast<size_t>(n) - pad);
    return out;
}

const char kCatalogue[] = R"({"channels": {
  "vx_pc_000001": {"package": "pkg/velto/client.7z", "version": "1.0.0"},
  "vx\"quote": {"package": "pkg/velto/quote.7z", "version": "2.0.0"},
  "渠道一": {"package": "/pkg/velto/client.7z", "version": "3.0.0"},
  "lies": {"package": "pkg/velto/client.7z", "version": "4", "apkSize": "0", "crc": "4294967295"},
  "nofile": {"package": "pkg/velto/missing.7z", "version": "5"}}})";

}  // namespace

TEST(Endpoints, ClientVersionDescribesTheServedFile) {
    ServicesServer server("client_version");
    const std::string package = RandomBytes(300001, 7);
    server.Put("files/pkg/velto/client.7z", package);
    server.Put("files/pkg/velto/quote.7z", "small");
    server.Put("catalogue.json", kCatalogue);
    ASSERT_TRUE(server.Start());
    const uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(package.data()), static_cast<uInt>(package.size()));

    auto https = server.Https();
    auto http = server.Http();
    auto askBoth = [&](const std::string& body) {
        auto a = https->Post("/api/v1/sys/getClientVersion", body, "application/json");
        auto b = http->Post("/api/v1/sys/getClientVersion", body, "application/json");
        EXPECT_TRUE(a && b);
        if (!a || !b)
            return Json();
        EXPECT_EQ(a->body, b->body);
        EXPECT_EQ(a->status, 200);
        EXPECT_EQ(a->get_header_value("Content-Type"), "application/json");
        return Json(cJSON_Parse(a->body.c_str()));
    };

    Json known = askBoth(VersionBody("vx_pc_000001"));
    ASSERT_TRUE(known);
    EXPECT_TRUE(cJSON_IsTrue(Item(known.get(), "success")));
    EXPECT_EQ(Str(known.get(), "data.downloadUrl"), "https://dl.velto.test/pkg/velto/client.7z");
    EXPECT_EQ(Str(known.get(), "data.apkSize"), "300001");
    EXPECT_EQ(Str(known.get(), "data.crc"), std::to_string(crc));
    EXPECT_EQ(Str(known.get(), "data.clientVersion"), "1.0.0");

    // The announced URL serves exactly those bytes.
    auto file = https->Get("/pkg/velto/client.7z");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    EXPECT_EQ(file->get_header_value("Content-Length"), "300001");
    EXPECT_TRUE(file->body == package);

    // Unescaped quote: the body is no JSON, the channel still found.
    Json quote = askBoth(VersionBody("vx\"quote"));
    ASSERT_TRUE(quote);
    EXPECT_EQ(Str(quote.get(), "data.clientVersion"), "2.0.0");
    EXPECT_EQ(Str(quote.get(), "data.apkSize"), "5");

    // Code page 936 channel; a leading slash in the package is not doubled.
    Json chinese = askBoth(VersionBody("\xC7\xFE\xB5\xC0\xD2\xBB"));
    ASSERT_TRUE(chinese);
    EXPECT_EQ(Str(chinese.get(), "data.clientVersion"), "3.0.0");
    EXPECT_EQ(Str(chinese.get(), "data.downloadUrl"), "https://dl.velto.test/pkg/velto/client.7z");

    Json lies = askBoth(VersionBody("lies"));
    ASSERT_TRUE(lies);
    EXPECT_EQ(Str(lies.get(), "data.apkSize"), "0");
    EXPECT_EQ(Str(lies.get(), "data.crc"), "4294967295");

    Json nofile = askBoth(VersionBody("nofile"));
    ASSERT_TRUE(nofile);
    EXPECT_TRUE(cJSON_IsTrue(Item(nofile.get(), "success")));
    EXPECT_EQ(Str(nofile.get(), "data.apkSize"), "0");

    for (const std::string& body :
         {VersionBody("unknown"), std::string("garbage"), std::string()}) {
        auto r = http->Post("/api/v1/sys/getClientVersion", body, "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->body, "{\"success\":false,\"data\":null}") << body;
    }

    // A default entry catches unknown channels; the catalogue is read at each request.
    server.Put("catalogue.json",
               R"({"channels": {}, "default": {"package": "pkg/velto/quote.7z", "version": "9"}})");
    Json fallback = askBoth(VersionBody("unknown"));
    ASSERT_TRUE(fallback);
    EXPECT_EQ(Str(fallback.get(), "data.clientVersion"), "9");
    EXPECT_EQ(server.Stop(), 0);
}

TEST(Endpoints, CafeAnswerDecodesBackToTheDocument) {
    // Neither a multiple of 3 (so padded) nor of 8.
    const std::string doc = R"({"guid":"网吧-7","bar_charge":{"charge_type":"1","c":"22"}})";
    ASSERT_EQ(doc.size() % 3, 1u);
    ASSERT_NE(doc.size() % 8, 0u);
    struct Case {
        std::vector<std::string> args;
        unsigned char key[8];
    };
    const Case cases[] = {
        {{}, {0x17, 0x9E, 0x3C, 0x5A, 0x6B, 0x81, 0xD2, 0xC4}},
        {{"--cafe-key", "0x01020304,0xA0B0C0D0"}, {0x04, 0x03, 0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0}},
    };
    for (const Case& c : cases) {
        ServicesServer server("cafe");
        server.Put("cafe.json", doc);
        ASSERT_TRUE(server.Start(c.args));
        auto cli = server.Https(server.cafePort);
        auto r = cli->Get("/CXBasicInfo");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        const std::string prefix = "CXR_LOC_JSONP({\"data\":\"", suffix = "\"})";
        ASSERT_EQ(r->body.rfind(prefix, 0), 0u) << r->body;
        ASSERT_EQ(r->body.substr(r->body.size() - suffix.size()), suffix);
        std::string data =
            r->body.substr(prefix.size(), r->body.size() - prefix.size() - suffix.size());
        EXPECT_EQ(data.back(), '=');
        std::string bytes = Base64Decode(data);
        ASSERT_EQ(bytes.size(), doc.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(bytes[i] ^ c.key[i % 8]);
        EXPECT_EQ(bytes, doc);

        // The cafe port serves nothing else, and the main ports no cafe information.
        EXPECT_EQ(cli->Get("/pkg/velto/client.7z")->status, 404);
        EXPECT_EQ(server.Http()->Get("/CXBasicInfo")->status, 404);
        // Without a document there is nothing to answer.
        std::remove((server.dir() + "/cafe.json").c_str());
        EXPECT_EQ(cli->Get("/CXBasicInfo")->status, 404);
        EXPECT_EQ(server.Stop(), 0);
    }
}

TEST(Endpoints, ReportsAreRecordedWithTheirSignatureChecked) {
    const std::string key = "7QW2LK4PZX91MDR3YHVC";
    // Code page 936: a Chinese channel, and a message with escaped quote and tab.
    {
        ServicesServer server("reports936");
        ASSERT_TRUE(server.Start({"--ansi-codepage", "936"}));
        const std::string body =
            "{\"b_guid\":\"0123\",\"b_channelid\":\"\xC7\xFE\xB5\xC0\xD2\xBB\",\"event_type\":1,"
            "\"event_msg\":\"a\\\"b\\tc\"}";
        const std::string utf8 =
            "{\"b_guid\":\"0123\",\"b_channelid\":\"渠道一\",\"event_type\":1,\"event_msg\":"
            "\"a\\\"b\\tc\"}";
        const std::string sign = Md5Upper(key + "NewVX|Install|" + utf8 + key);
        httplib::Headers good = {{"sign", sign}, {"projectId", "NewVX"}, {"businessId", "Install"}};
        httplib::Headers bad = {{"sign", "0123456789ABCDEF0123456789ABCDEF"},
                                {"projectId", "NewVX"}};
        auto a = server.Https()->Post("/commonReport/report", good, body, "application/json");
        auto b = server.Http()->Post("/commonReport/report", bad, body, "application/json");
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->body, "{\"code\":0,\"msg\":\"ok\"}");
        EXPECT_EQ(b->body, "{\"code\":0,\"msg\":\"ok\"}");

        auto reports = server.Records("reports.jsonl");
        ASSERT_EQ(reports.size(), 2u);
        const cJSON* r0 = reports[0].get();
        EXPECT_EQ(Str(r0, "scheme"), "https");
        EXPECT_TRUE(cJSON_IsTrue(Item(r0, "sign_valid")));
        EXPECT_EQ(Str(r0, "sign"), sign);
        EXPECT_EQ(Str(r0, "sign_expected"), sign);
        EXPECT_EQ(Str(r0, "body_hex"), Hex(body));
        EXPECT_EQ(Str(r0, "body"), utf8);
        EXPECT_EQ(Str(r0, "body_json.b_channelid"), "渠道一");
        EXPECT_EQ(Str(r0, "body_json.event_msg"), "a\"b\tc");
        EXPECT_EQ(Str(r0, "headers.projectId"), "NewVX");
        EXPECT_EQ(Str(r0, "headers.businessId"), "Install");
        EXPECT_FALSE(Str(r0, "time").empty());
        EXPECT_EQ(Item(r0, "headers.REMOTE_ADDR"), nullptr);

        const cJSON* r1 = reports[1].get();
        EXPECT_EQ(Str(r1, "scheme"), "http");
        EXPECT_FALSE(cJSON_IsTrue(Item(r1, "sign_valid")));
        EXPECT_EQ(Str(r1, "sign_expected"), sign);
        EXPECT_EQ(Str(r1, "body_hex"), Hex(body));
        EXPECT_EQ(server.Stop(), 0);
    }
    // Code page 1252 (default): é and the undefined byte 0x81 as Windows converts them.
    {
        ServicesServer server("reports1252");
        ASSERT_TRUE(server.Start());
        const std::string body = "{\"event_msg\":\"caf\xE9\x81\"}";
        const std::string sign =
            Md5Upper(key + "NewVX|Install|{\"event_msg\":\"caf\xC3\xA9\xC2\x81\"}" + key);
        auto r =
            server.Http()->Post("/commonReport/report", {{"sign", sign}}, body, "application/json");
        ASSERT_TRUE(r);
        auto reports = server.Records("reports.jsonl");
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(cJSON_IsTrue(Item(reports[0].get(), "sign_valid")));
        EXPECT_EQ(Str(reports[0].get(), "body_hex"), Hex(body));
        EXPECT_EQ(server.Stop(), 0);
    }
}

TEST(Endpoints, EveryRequestIsRecordedAndFilesStayInside) {
    ServicesServer server("records");
    server.Put("files/terms/pc/pop_agreement.html", "<html>mine</html>");
    server.Put("files/a b.txt", "spaced");
    server.Put("secret.txt", "outside");
    ASSERT_TRUE(server.Start());
    auto http = server.Http();
    EXPECT_EQ(http->Get("/terms/pc/pop_agreement.html")->body, "<html>mine</html>");
    EXPECT_EQ(http->Get("/a%20b.txt")->body, "spaced");
    EXPECT_EQ(http->Get("/../secret.txt")->status, 404);
    EXPECT_EQ(http->Get("/%2e%2e/secret.txt")->status, 404);
    EXPECT_EQ(http->Get("/pkg")->status, 404);  // a folder
    EXPECT_EQ(
        http->Post("/elsewhere", std::string("\x01\x02", 2), "application/octet-stream")->status,
        404);
    EXPECT_EQ(http->Get("/__control/faults")->status, 200);  // not recorded

    auto requests = server.Records("requests.jsonl");
    ASSERT_EQ(requests.size(), 6u);
    const cJSON* first = requests[0].get();
    EXPECT_EQ(Str(first, "scheme"), "http");
    EXPECT_EQ(Item(first, "port")->valueint, server.httpPort);
    EXPECT_EQ(Str(first, "method"), "GET");
    EXPECT_EQ(Str(first, "path"), "/terms/pc/pop_agreement.html");
    EXPECT_EQ(Str(first, "host"), "127.0.0.1:" + std::to_string(server.httpPort));
    EXPECT_EQ(Str(first, "headers.Host"), Str(first, "host"));
    EXPECT_FALSE(cJSON_IsTrue(Item(first, "fault")));
    EXPECT_EQ(Str(requests[1].get(), "path"), "/a b.txt");
    EXPECT_EQ(Str(requests[1].get(), "target"), "/a%20b.txt");
    EXPECT_EQ(Str(requests[5].get(), "body_hex"), "0102");
    EXPECT_EQ(server.Stop(), 0);

    // Without a page of its own the agreement is a built-in one.
    std::remove((server.dir() + "/files/terms/pc/pop_agreement.html").c_str());
    ASSERT_TRUE(server.Start());
    auto page = server.Https()->Get("/terms/pc/pop_agreement.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<html"), std::string::npos);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
}
