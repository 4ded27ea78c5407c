// The request wrapper against vorn-services over real sockets: which attempt
// answers, which certificate is accepted, what is sent, and how long a silent
// server is waited for.
#include <gtest/gtest.h>

#include <set>

#include "comm/httplibrequest.h"
#include "installer/buildconfig.h"
#include "services/servicetest.h"
#include "util/path_util.h"
#include "util/string_util.h"

using namespace vorn;
using namespace vorn::test;

namespace {

const char* const kHost = VORN_HOST_CLIENT_VERSION;

// Different answers per scheme tell which attempt answered.
void AnswerBoth(const std::string& path) {
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"" + path + "\",\"scheme\":\"https\",\"status\":200,\"body\":\"via-https\"}"));
    ASSERT_TRUE(Services::AddFault("{\"path\":\"" + path +
                                   "\",\"scheme\":\"http\",\"status\":200,\"body\":\"via-http\"}"));
}

size_t Attempts(size_t from, const std::string& path, const std::string& scheme) {
    size_t n = 0;
    for (const Json& r : Services::Records(L"requests.jsonl", from)) {
        if (JsonText(r.get(), "path") == path && JsonText(r.get(), "scheme") == scheme)
            ++n;
    }
    return n;
}

std::string Post(const std::string& path, const httplib::Headers& headers = {},
                 const std::string& body = "{}") {
    std::string answer;
    httplib_request_muti(kHost, path.c_str(), headers, body, answer);
    return answer;
}

const wchar_t kNoCaLine[] = L"[Error]|can not find cacert file";
const wchar_t kTurnLine[] = L"[Info]|https turn to http";

class Request : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
        ASSERT_TRUE(Services::ClearFaults());
        from = Services::RecordCount(L"requests.jsonl");
    }
    LogCapture log;
    size_t from = 0;
};

// Runs a copy of this program from a folder of its own, beside a given
// cacert.pem, with an empty temporary folder; the copy expects `answer`.
int RunBesideBundle(const std::string& bundle, const std::string& answer, const std::string& path) {
    TempDir app, temp;
    const std::wstring exe = app.File(L"request_copy.exe");
    if (!::CopyFileW(OwnPath().c_str(), exe.c_str(), FALSE))
        return -1;
    if (!WriteBytes(app.File(L"cacert.pem"), bundle))
        return -1;
    const std::wstring args = L"--gtest_filter=RequestChild.* --data=" + WideArg("data") +
                              L" --child-expect=" + Utf8ToWide(answer) + L" --child-path=" +
                              Utf8ToWide(path);
    return RunProcess(exe, args, temp.Path());
}

}  // namespace

TEST_F(Request, ErrorStatusWithBodyIsTheAnswer) {
    ASSERT_TRUE(log.InstallCa());
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/t/500\",\"scheme\":\"https\",\"status\":500,\"body\":\"x\"}"));
    EXPECT_EQ(Post("/t/500"), "x");
    EXPECT_EQ(Attempts(from, "/t/500", "https"), 1u);
    EXPECT_EQ(Attempts(from, "/t/500", "http"), 0u);
    EXPECT_FALSE(log.Has(kTurnLine));
    EXPECT_FALSE(log.Has(kNoCaLine));
}

TEST_F(Request, EmptyHttpsAnswerIsSentAgainOverHttp) {
    ASSERT_TRUE(log.InstallCa());
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/t/204\",\"scheme\":\"https\",\"status\":204}"));
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/t/204\",\"scheme\":\"http\",\"status\":404,\"body\":\"plain\"}"));
    EXPECT_EQ(Post("/t/204", {}, "same body"), "plain");
    EXPECT_EQ(log.Count(kTurnLine), 1u);
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(JsonText(records[0].get(), "scheme"), "https");
    EXPECT_EQ(JsonText(records[1].get(), "scheme"), "http");
    EXPECT_EQ(JsonText(records[1].get(), "body_hex"), JsonText(records[0].get(), "body_hex"));
}

TEST_F(Request, OnlyTheLibraryDefaultHeadersAndTheCallers) {
    ASSERT_TRUE(log.InstallCa());
    AnswerBoth("/t/headers");
    std::string answer;
    PostRequest(kHost, "/t/headers", {{"sign", "ABC"}, {"projectId", "NewVX"}}, "{\"k\":1}",
                answer);
    EXPECT_EQ(answer, "via-https");
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 1u);
    const cJSON* r = records[0].get();
    EXPECT_EQ(JsonText(r, "method"), "POST");
    EXPECT_EQ(JsonText(r, "target"), "/t/headers");
    EXPECT_EQ(JsonText(r, "body_hex"), "7b226b223a317d");
    const cJSON* headers = cJSON_GetObjectItemCaseSensitive(r, "headers");
    std::set<std::string> names;
    for (const cJSON* h = headers ? headers->child : nullptr; h != nullptr; h = h->next) {
        const std::string name = h->string;
        // The server adds its own connection details to the header set.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
            name == "LOCAL_PORT") {
            continue;
        }
        names.insert(name);
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"Accept", "Connection", "Content-Length", "Content-Type",
                                     "Host", "User-Agent", "projectId", "sign"}));
    EXPECT_EQ(JsonText(headers, "Host"), kHost);
    EXPECT_EQ(JsonText(headers, "Accept"), "*/*");
    EXPECT_EQ(JsonText(headers, "User-Agent"), "cpp-httplib/0.11.4");
    EXPECT_EQ(JsonText(headers, "Connection"), "close");
    EXPECT_EQ(JsonText(headers, "Content-Type"), "application/json");
    EXPECT_EQ(JsonText(headers, "Content-Length"), "7");
    EXPECT_EQ(JsonText(headers, "sign"), "ABC");
}

TEST_F(Request, BodyEndsAtItsFirstZeroByte) {
    ASSERT_TRUE(log.InstallCa());
    AnswerBoth("/t/zero");
    std::string answer;
    PostRequest(kHost, "/t/zero", {}, "ab\0cd", answer);
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(JsonText(records[0].get(), "body_hex"), "6162");
}

TEST_F(Request, NoBundleAnywhereLogsAndStillUsesHttps) {
    AnswerBoth("/t/nobundle");
    EXPECT_EQ(Post("/t/nobundle"), "via-https");
    EXPECT_EQ(log.Count(kNoCaLine), 1u);
}

TEST_F(Request, SilentServerEndsTheAttemptAfterFiveSeconds) {
    ASSERT_TRUE(log.InstallCa());
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/t/silent\",\"silent\":true,\"silent_ms\":15000}"));
    // An attempt without a response leaves the answer as it was.
    std::string answer = "previous";
    ULONGLONG start = ::GetTickCount64();
    httplib_request(kHost, "/t/silent", {}, "{}", answer, true);
    ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_EQ(answer, "previous");
    // The client gives up well before the server would close.
    EXPECT_GE(elapsed, 4500u);
    EXPECT_LT(elapsed, 12000u);

    start = ::GetTickCount64();
    EXPECT_EQ(Post("/t/silent"), "");
    elapsed = ::GetTickCount64() - start;
    EXPECT_GE(elapsed, 9000u);  // both attempts waited
    EXPECT_LT(elapsed, 25000u);
    EXPECT_EQ(Attempts(from, "/t/silent", "http"), 1u);
}

TEST_F(Request, AnswersOverTheLimitAreNoAnswer) {
    ASSERT_TRUE(log.InstallCa());
    const std::string limit = std::to_string(kMaxAnswerBytes);
    ASSERT_TRUE(
        Services::AddFault("{\"path\":\"/t/max\",\"status\":200,\"body\":\"ab\","
                           "\"body_size\":" +
                           limit + "}"));
    const std::string full = Post("/t/max");
    ASSERT_EQ(full.size(), kMaxAnswerBytes);
    EXPECT_EQ(full.substr(full.size() - 2), "ab");

    // One byte more, announced: dropped unread. The server answered all the
    // same: the request is not repeated over HTTP.
    const wchar_t dropped[] = L"[Error]|answer longer than 1048576 bytes dropped";
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/t/over\",\"status\":200,\"body_size\":" +
                                   std::to_string(kMaxAnswerBytes + 1) + "}"));
    std::string answer = "previous";
    EXPECT_EQ(httplib_request(kHost, "/t/over", {}, "{}", answer, true), AttemptResult::TooLarge);
    EXPECT_EQ(answer, "previous");
    EXPECT_EQ(Post("/t/over"), "");
    EXPECT_EQ(Attempts(from, "/t/over", "https"), 2u);
    EXPECT_EQ(Attempts(from, "/t/over", "http"), 0u);
    EXPECT_FALSE(log.Has(L"[Info]|https turn to http"));
    EXPECT_EQ(log.Count(dropped), 2u);

    // A body without end (chunked) is cut at the limit, quickly.
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/t/endless\",\"status\":200,\"body\":\"{\\\"a\\\":\",\"endless\":true}"));
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(Post("/t/endless"), "");
    EXPECT_LT(::GetTickCount64() - start, 20000u);
    EXPECT_EQ(Attempts(from, "/t/endless", "http"), 0u);
    EXPECT_EQ(log.Count(dropped), 3u);
}

TEST_F(Request, BundleBesideTheExecutableOnly) {
    AnswerBoth("/t/beside");
    // The services' CA: verified HTTPS answers, no Error line.
    EXPECT_EQ(RunBesideBundle(Services::Read(L"ca.pem"), "via-https", "/t/beside"), 0);
    // A bundle of other roots: verification is on, so HTTPS fails.
    const std::string foreign = ReadBytes(WideArg("ca-bundle"));
    ASSERT_FALSE(foreign.empty());
    EXPECT_EQ(RunBesideBundle(foreign, "via-http", "/t/beside"), 0);
}

// The copy's side of BundleBesideTheExecutableOnly.
TEST(RequestChild, AnswerWithTheBundleBesideTheExecutable) {
    if (Arg("child-expect").empty())
        GTEST_SKIP() << "runs as a copy of the program";
    LogCapture log;
    const CaBundle bundle = LocateCaBundle();
    EXPECT_TRUE(bundle.found);
    std::string folder;
    ASSERT_TRUE(GetModuleFolderA(folder));
    EXPECT_EQ(bundle.path, folder + "\\cacert.pem");
    EXPECT_EQ(Post(Arg("child-path")), Arg("child-expect"));
    EXPECT_FALSE(log.Has(kNoCaLine));
}

TEST(LocateCaBundle, TemporaryFolderFirst) {
    LogCapture log;
    CaBundle bundle = LocateCaBundle();
    // Nothing in the temporary folder: the place beside the executable.
    std::string folder;
    ASSERT_TRUE(GetModuleFolderA(folder));
    EXPECT_EQ(bundle.path, folder + "\\cacert.pem");
    ASSERT_TRUE(WriteBytes(log.Temp().File(L"cacert.pem"), "pem"));
    bundle = LocateCaBundle();
    EXPECT_TRUE(bundle.found);
    EXPECT_EQ(Utf8ToWide(bundle.path), log.Temp().File(L"cacert.pem"));
    // A folder of that name is no bundle.
    ::DeleteFileW(log.Temp().File(L"cacert.pem").c_str());
    ASSERT_TRUE(::CreateDirectoryW(log.Temp().File(L"cacert.pem").c_str(), nullptr));
    bundle = LocateCaBundle();
    EXPECT_NE(Utf8ToWide(bundle.path), log.Temp().File(L"cacert.pem"));
}

// --tls self-signed: right names, no chain to a known root.
TEST_F(Request, SelfSignedAcceptedOnlyWithoutBundle) {
    AnswerBoth("/t/self");
    EXPECT_EQ(Post("/t/self"), "via-https");
    EXPECT_EQ(log.Count(kNoCaLine), 1u);
    ASSERT_TRUE(log.InstallCa());
    EXPECT_EQ(Post("/t/self"), "via-http");
    EXPECT_EQ(log.Count(kNoCaLine), 1u);
    EXPECT_EQ(log.Count(kTurnLine), 1u);
}

// --tls other-host: a certificate of the services' CA for another name.
TEST_F(Request, CertificateForAnotherHostFallsBackToHttp) {
    ASSERT_TRUE(log.InstallCa());
    AnswerBoth("/t/other");
    EXPECT_EQ(Post("/t/other"), "via-http");
    EXPECT_EQ(Attempts(from, "/t/other", "https"), 0u);
    EXPECT_EQ(Attempts(from, "/t/other", "http"), 1u);
    EXPECT_EQ(log.Count(kTurnLine), 1u);
}
