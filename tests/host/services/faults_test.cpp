// Fault injection through faults.json and the control endpoint.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "server_process.h"

using namespace vorn::test;

namespace {

const char kVersionPath[] = "/api/v1/sys/getClientVersion";
const char kBody[] = "{\t\"clientType\": 4,\t\"channelNo\" : \"c1\" }";

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.Put("catalogue.json",
                    R"({"channels": {"c1": {"package": "p.7z", "version": "1"}}})");
        server_.Put("files/p.7z", std::string(10000, 'p'));
        ASSERT_TRUE(server_.Start());
    }
    // Replaces all faults by the given JSON; the answer lists them.
    std::string SetFaults(const std::string& json) {
        auto http = server_.Http();
        http->Delete("/__control/faults");
        auto r = http->Post("/__control/faults", json, "application/json");
        EXPECT_TRUE(r && r->status == 200) << (r ? r->body : "no answer");
        return r ? r->body : "";
    }
    ServicesServer server_{"faults"};
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST_F(Faults, StatusAndBodyPerScheme) {
    SetFaults(
        R"({"path": "/api/v1/sys/getClientVersion", "scheme": "https", "status": 500, "body": "x"})");
    auto https = server_.Https()->Post(kVersionPath, kBody, "application/json");
    ASSERT_TRUE(https);
    EXPECT_EQ(https->status, 500);
    EXPECT_EQ(https->body, "x");
    auto http = server_.Http()->Post(kVersionPath, kBody, "application/json");
    ASSERT_TRUE(http);
    EXPECT_EQ(http->status, 200);
    EXPECT_NE(http->body.find("\"success\":true"), std::string::npos);

    // Status alone: an empty body; times: only the first request.
    SetFaults(R"([{"path": "/api/v1/sys/getClientVersion", "status": 204, "times": 1},
                {"path": "/p.7z", "status": 404, "body_hex": "00ff0a"}])");
    auto first = server_.Https()->Post(kVersionPath, kBody, "application/json");
    auto second = server_.Https()->Post(kVersionPath, kBody, "application/json");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->status, 204);
    EXPECT_EQ(first->body, "");
    EXPECT_EQ(second->status, 200);
    auto bytes = server_.Http()->Get("/p.7z");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->status, 404);
    EXPECT_EQ(bytes->body, std::string("\x00\xff\n", 3));

    auto list = server_.Http()->Get("/__control/faults");
    ASSERT_TRUE(list);
    Json faults(cJSON_Parse(list->body.c_str()));
    ASSERT_EQ(cJSON_GetArraySize(faults.get()), 2);
    EXPECT_EQ(Item(cJSON_GetArrayItem(faults.get(), 0), "times")->valueint, 0);
    EXPECT_EQ(Item(cJSON_GetArrayItem(faults.get(), 0), "hits")->valueint, 1);

    // requests.jsonl tells which requests were faulted.
    auto requests = server_.Records("requests.jsonl");
    ASSERT_GE(requests.size(), 5u);
    EXPECT_TRUE(cJSON_IsTrue(Item(requests[2].get(), "fault")));
    EXPECT_FALSE(cJSON_IsTrue(Item(requests[3].get(), "fault")));

    // Cleared: normal again.
    EXPECT_EQ(server_.Http()->Delete("/__control/faults")->body, "[]");
    EXPECT_EQ(server_.Http()->Get("/p.7z")->status, 200);
}

TEST_F(Faults, DelayCloseMidBodyAndSilence) {
    SetFaults(R"({"path": "/p.7z", "delay_ms": 600})");
    auto start = std::chrono::steady_clock::now();
    auto delayed = server_.Http()->Get("/p.7z");
    ASSERT_TRUE(delayed);
    EXPECT_GE(Seconds(start), 0.6);
    EXPECT_EQ(delayed->body.size(), 10000u);

    // Paced: the whole file, in pieces spread over size / rate seconds.
    SetFaults(R"({"path": "/p.7z", "rate": 20000})");
    int pieces = 0;
    std::string paced;
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(server_.Https()->Get("/p.7z", [&](const char* data, size_t n) {
        ++pieces;
        paced.append(data, n);
        return true;
    }));
    EXPECT_GE(Seconds(start), 0.45);
    EXPECT_EQ(paced, std::string(10000, 'p'));
    EXPECT_GE(pieces, 3);

    // Stalls: a pause after every 4000 bytes, so two in 10000; each one
    // longer than a reader with a shorter read time-out waits.
    SetFaults(R"({"path": "/p.7z", "stall_ms": 700, "stall_every": 4000})");
    std::vector<std::pair<size_t, double>> arrivals;  // bytes so far, seconds
    std::string stalled;
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(server_.Http()->Get("/p.7z", [&](const char* data, size_t n) {
        stalled.append(data, n);
        arrivals.emplace_back(stalled.size(), Seconds(start));
        return true;
    }));
    EXPECT_EQ(stalled, std::string(10000, 'p'));
    EXPECT_GE(Seconds(start), 1.4);
    std::vector<size_t> pausedAfter;
    double before = 0;
    size_t sent = 0;
    for (const auto& [bytes, at] : arrivals) {
        if (at - before >= 0.6)
            pausedAfter.push_back(sent);
        before = at;
        sent = bytes;
    }
    EXPECT_EQ(pausedAfter, (std::vector<size_t>{4000, 8000}));
    auto shortReader = server_.Https();
    shortReader->set_read_timeout(0, 300000);
    EXPECT_FALSE(shortReader->Get("/p.7z"));

    // Half of the file, then the connection closes: the client sees a broken transfer.
    SetFaults(R"({"path": "/p.7z", "close_mid_body": true})");
    size_t received = 0;
    std::string length;
    auto cut = server_.Https()->Get(
        "/p.7z",
        [&](const httplib::Response& r) {
            length = r.get_header_value("Content-Length");
            return true;
        },
        [&](const char*, size_t n) {
            received += n;
            return true;
        });
    EXPECT_FALSE(cut);
    EXPECT_EQ(length, "10000");
    EXPECT_EQ(received, 5000u);

    // Also for an answer that is not a file.
    SetFaults(R"({"path": "/api/v1/sys/getClientVersion", "close_mid_body": true})");
    EXPECT_FALSE(server_.Http()->Post(kVersionPath, kBody, "application/json"));

    // Silent: nothing comes back before the client's read time-out.
    SetFaults(
        R"({"path": "/api/v1/sys/getClientVersion", "scheme": "http", "silent": true, "silent_ms": 4000})");
    auto cli = server_.Http();
    cli->set_read_timeout(1, 0);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(cli->Post(kVersionPath, kBody, "application/json"));
    EXPECT_LT(Seconds(start), 3.0);
    // Meanwhile the other scheme answers, and stopping does not wait for the held request.
    EXPECT_TRUE(server_.Https()->Post(kVersionPath, kBody, "application/json"));
    std::thread held([&] {
        auto patient = server_.Http();
        patient->set_read_timeout(10, 0);
        patient->Post(kVersionPath, kBody, "application/json");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_.Stop(), 0);
    EXPECT_LT(Seconds(start), 3.0);
    held.join();
}

TEST_F(Faults, GeneratedEndlessAndCutBodies) {
    // A generated body: the text repeated to the exact size, Content-Length announced.
    SetFaults(R"({"path": "/big", "status": 200, "body": "abc", "body_size": 3000002})");
    auto big = server_.Http()->Get("/big");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->get_header_value("Content-Length"), "3000002");
    ASSERT_EQ(big->body.size(), 3000002u);
    EXPECT_EQ(big->body.substr(0, 7), "abcabca");
    EXPECT_EQ(big->body.substr(2999997), "abcab");

    // A length beyond 32 bits is announced, and cut_after stops the bytes early.
    SetFaults(R"({"path": "/huge", "status": 200, "body_size": 5000000000, "cut_after": 70000})");
    std::string length;
    uint64_t received = 0;
    auto huge = server_.Https()->Get(
        "/huge",
        [&](const httplib::Response& r) {
            length = r.get_header_value("Content-Length");
            return true;
        },
        [&](const char*, size_t n) {
            received += n;
            return true;
        });
    EXPECT_FALSE(huge);
    EXPECT_EQ(length, "5000000000");
    EXPECT_EQ(received, 70000u);

    // cut_after on a served file.
    SetFaults(R"({"path": "/p.7z", "cut_after": 1234})");
    received = 0;
    EXPECT_FALSE(server_.Http()->Get("/p.7z", [&](const char*, size_t n) {
        received += n;
        return true;
    }));
    EXPECT_EQ(received, 1234u);

    // Endless: chunked, it goes on until the client stops reading.
    SetFaults(R"({"path": "/endless", "status": 200, "body": "yz", "endless": true})");
    received = 0;
    std::string encoding;
    bool pattern = true;
    auto endless = server_.Http()->Get(
        "/endless",
        [&](const httplib::Response& r) {
            encoding = r.get_header_value("Transfer-Encoding");
            return true;
        },
        [&](const char* data, size_t n) {
            for (size_t i = 0; i < n; ++i)
                pattern = pattern && data[i] == ((received + i) % 2 ? 'z' : 'y');
            received += n;
            return received < 8u * 1024 * 1024;
        });
    EXPECT_FALSE(endless);
    EXPECT_EQ(encoding, "chunked");
    EXPECT_GE(received, 8u * 1024 * 1024);
    EXPECT_TRUE(pattern);
    // The server is still well and stops at once.
    EXPECT_EQ(server_.Http()->Get("/p.7z")->status, 200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_.Stop(), 0);
    EXPECT_LT(Seconds(start), 3.0);
}

TEST_F(Faults, ControlRejectsBadFaultsAndFileIsReadAtStart) {
    auto http = server_.Http();
    for (const char* bad :
         {"nonsense", R"({"status": 500})", R"({"path": "/x", "status": "500"})",
          R"({"path": "/x", "body_size": 10})", R"({"path": "/x", "endless": true})",
          R"({"path": "/x", "status": 200, "body_size": -1})",
          R"({"path": "/x", "cut_after": 1.5})", R"({"path": "/x", "stall_ms": 500})",
          R"({"path": "/x", "stall_ms": -1, "stall_every": 10})"}) {
        auto r = http->Post("/__control/faults", bad, "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 400) << bad;
        EXPECT_NE(r->body.find("\"error\""), std::string::npos);
    }
    EXPECT_EQ(http->Get("/__control/faults")->body, "[]");
    // The control endpoint answers on the plain port only.
    EXPECT_EQ(server_.Https()->Get("/__control/faults")->status, 404);
    EXPECT_EQ(server_.Stop(), 0);
    std::remove((server_.dir() + "/requests.jsonl").c_str());

    // faults.json: the report service down; nothing reaches reports.jsonl.
    server_.Put("faults.json",
                R"([{"path": "/commonReport/report", "status": 503, "body": "down"}])");
    ASSERT_TRUE(server_.Start());
    auto r = server_.Https()->Post("/commonReport/report", "{}", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 503);
    EXPECT_EQ(r->body, "down");
    EXPECT_TRUE(server_.Records("reports.jsonl").empty());
    EXPECT_EQ(server_.Records("requests.jsonl").size(), 1u);
    EXPECT_EQ(server_.Stop(), 0);

    // A broken faults.json stops the start.
    server_.Put("faults.json", "[{");
    EXPECT_FALSE(server_.Start());
}
