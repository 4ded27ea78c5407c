// The download wrapper against vorn-services over real sockets: which attempt
// fills the file, what the progress sink sees, what the user is told; the URL
// split, the CRC and the progress gate on their own.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "comm/httplibdownload.h"
#include "installer/buildconfig.h"
#include "services/servicetest.h"
#include "util/string_util.h"

using namespace vorn;
using namespace vorn::test;

namespace {

const char* const kHost = VORN_HOST_GREEN_PACKAGE;
const wchar_t kNoCaLine[] = L"[Error]|can not find cacert file";
const wchar_t kTurnLine[] = L"[Info]|https down load  turn to http";

struct Report {
    uint64_t received, total;
};

class RecordingSink : public DownloadSink {
  public:
    void OnDownloadProgress(uint64_t received, uint64_t total) override {
        reports.push_back({received, total});
    }
    void OnDownloadError(const std::wstring& text) override { errors.push_back(text); }
    std::vector<Report> reports;
    std::vector<std::wstring> errors;
};

// Bytes that differ from piece to piece, so that a misplaced piece shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

uint32_t ZlibCrc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class Download : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
        ASSERT_TRUE(Services::ClearFaults());
        from = Services::RecordCount(L"requests.jsonl");
        target = log.Temp().File(L"tmpClient");
    }
    // A file served at /pkg/<name>.
    std::string Serve(const std::wstring& name, size_t size) {
        std::string bytes = Pattern(size);
        EXPECT_TRUE(Services::Write(L"files\\pkg\\" + name, bytes));
        return bytes;
    }
    size_t Attempts(const std::string& path, const std::string& scheme) const {
        size_t n = 0;
        for (const Json& r : Services::Records(L"requests.jsonl", from)) {
            if (JsonText(r.get(), "path") == path && JsonText(r.get(), "scheme") == scheme)
                ++n;
        }
        return n;
    }
    // The reports of one attempt rise to the total, in pieces of at most
    // kDownloadPieceBytes; returns the largest piece.
    static uint64_t ExpectRisingTo(const std::vector<Report>& reports, uint64_t total) {
        EXPECT_FALSE(reports.empty());
        uint64_t last = 0, largest = 0;
        for (const Report& r : reports) {
            EXPECT_EQ(r.total, total);
            EXPECT_GT(r.received, last);
            if (r.received <= last)
                return largest;
            EXPECT_LE(r.received - last, kDownloadPieceBytes);
            largest = std::max(largest, r.received - last);
            last = r.received;
        }
        EXPECT_EQ(last, total);
        return largest;
    }

    LogCapture log;
    RecordingSink sink;
    size_t from = 0;
    std::wstring target;
};

}  // namespace

TEST_F(Download, HttpsStreamsTheFileWithProgress) {
    ASSERT_TRUE(log.InstallCa());
    const std::string served = Serve(L"big.bin", 3 * 1024 * 1024 + 123);
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/big.bin", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), served);
    // TLS records come whole, not in pieces of the library's old 4 KiB, so
    // that a package costs fewer reads and progress calls.
    EXPECT_GT(ExpectRisingTo(sink.reports, served.size()), 4096u);
    EXPECT_LT(sink.reports.size(), served.size() / 8192);
    EXPECT_EQ(FileCrc32(target), ZlibCrc(served));
    EXPECT_EQ(Attempts("/pkg/big.bin", "https"), 1u);
    EXPECT_EQ(Attempts("/pkg/big.bin", "http"), 0u);
    EXPECT_TRUE(sink.errors.empty());
    EXPECT_FALSE(log.Has(kTurnLine));
    EXPECT_FALSE(log.Has(kNoCaLine));
    // A second download empties the file first.
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/pkg/big.bin\",\"scheme\":\"https\",\"status\":200,\"body\":\"short\"}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/big.bin", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "short");
}

TEST_F(Download, HttpsAnswersAreKeptWhateverTheStatus) {
    ASSERT_TRUE(log.InstallCa());
    ASSERT_TRUE(
        Services::AddFault("{\"path\":\"/t/404\",\"scheme\":\"https\",\"status\":404,"
                           "\"body\":\"<html>gone</html>\"}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/t/404", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "<html>gone</html>");
    EXPECT_EQ(Attempts("/t/404", "http"), 0u);
    EXPECT_FALSE(log.Has(kTurnLine));

    // A redirect is not followed: its notice is the file.
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/t/moved\",\"status\":302,\"body\":\"moved\"}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/t/moved", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "moved");
    EXPECT_EQ(Services::RecordCount(L"requests.jsonl") - from, 2u);

    // The query goes with the path; a URL without one asks for "/".
    std::string host, path;
    ASSERT_TRUE(
        SplitUrl(std::string("https://") + kHost + "/pkg/velto/client.7z?v=1&x=y", host, path));
    EXPECT_EQ(httplib_down_muti(host, path, target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "velto client package");
    ASSERT_TRUE(SplitUrl(std::string("http://") + kHost, host, path));
    EXPECT_EQ(httplib_down_muti(host, path, target, sink), 0);
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(JsonText(records[2].get(), "target"), "/pkg/velto/client.7z?v=1&x=y");
    EXPECT_EQ(JsonText(records[2].get(), "scheme"), "https");
    EXPECT_EQ(JsonText(records[3].get(), "target"), "/");
    EXPECT_EQ(JsonText(records[3].get(), "method"), "GET");
}

TEST_F(Download, BrokenHttpsTransfersAreFetchedAgainOverHttp) {
    ASSERT_TRUE(log.InstallCa());
    const std::string served = Serve(L"cut.bin", 200000);
    // Cut short: the HTTP attempt starts the file again.
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/pkg/cut.bin\",\"scheme\":\"https\",\"close_mid_body\":true,\"times\":1}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/cut.bin", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), served);
    EXPECT_EQ(Attempts("/pkg/cut.bin", "https"), 1u);
    EXPECT_EQ(Attempts("/pkg/cut.bin", "http"), 1u);
    EXPECT_EQ(log.Count(kTurnLine), 1u);
    // Two rising runs: half of the file, then all of it.
    ASSERT_FALSE(sink.reports.empty());
    size_t restart = 1;
    while (restart < sink.reports.size() &&
           sink.reports[restart].received > sink.reports[restart - 1].received)
        ++restart;
    ASSERT_LT(restart, sink.reports.size());
    EXPECT_LE(sink.reports[restart - 1].received, served.size() / 2);
    ExpectRisingTo({sink.reports.begin() + restart, sink.reports.end()}, served.size());

    // Silent: the attempt ends after the 5 s read time-out, not the 300 s one.
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/pkg/cut.bin\",\"scheme\":\"https\",\"silent\":true,\"silent_ms\":20000}"));
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/cut.bin", target, sink), 0);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_GE(elapsed, 4500u);
    EXPECT_LT(elapsed, 15000u);
    EXPECT_EQ(ReadBytes(target), served);
    EXPECT_EQ(log.Count(kTurnLine), 2u);
}

TEST_F(Download, HttpFailingTooStillReturnsZero) {
    ASSERT_TRUE(log.InstallCa());
    const std::string served = Serve(L"both.bin", 100000);
    // Cut over both: the file keeps what the HTTP attempt received.
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/pkg/both.bin\",\"close_mid_body\":true}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/both.bin", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), served.substr(0, served.size() / 2));
    EXPECT_NE(FileCrc32(target), ZlibCrc(served));

    // No server under that name, or a port in the host: nothing answers, an empty file.
    ASSERT_TRUE(WriteBytes(target, "old"));
    EXPECT_EQ(httplib_down_muti("nothing.invalid", "/pkg/both.bin", target, sink), 0);
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ(ReadBytes(target), "");
    std::string host, path;
    ASSERT_TRUE(SplitUrl(std::string("https://") + kHost + ":443/pkg/both.bin", host, path));
    EXPECT_EQ(host, std::string(kHost) + ":443");
    ASSERT_TRUE(WriteBytes(target, "old"));
    EXPECT_EQ(httplib_down_muti(host, path, target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "");
    EXPECT_EQ(log.Count(kTurnLine), 3u);
    EXPECT_EQ(Services::RecordCount(L"requests.jsonl") - from, 2u);
    EXPECT_TRUE(sink.errors.empty());
}

TEST_F(Download, MissingBundleFailsHttpsAndHttpFollows) {
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/velto/client.7z", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "velto client package");
    EXPECT_EQ(log.Count(kNoCaLine), 1u);
    EXPECT_EQ(log.Count(kTurnLine), 1u);
    EXPECT_EQ(Attempts("/pkg/velto/client.7z", "https"), 0u);
    EXPECT_EQ(Attempts("/pkg/velto/client.7z", "http"), 1u);
}

TEST_F(Download, TargetThatCannotBeOpenedIsShownToTheUser) {
    ASSERT_TRUE(log.InstallCa());
    const std::wstring missing = log.Temp().File(L"no\\such\\folder\\tmpClient");
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/velto/client.7z", missing, sink), -1);
    ASSERT_EQ(sink.errors.size(), 1u);
    EXPECT_EQ(sink.errors[0], L"open file write failed errno:2 get last err:3");
    // A folder in the way.
    EXPECT_EQ(DownloadHttp(kHost, "/pkg/velto/client.7z", log.Temp().Path(), sink), -1);
    ASSERT_EQ(sink.errors.size(), 2u);
    EXPECT_EQ(sink.errors[1].rfind(L"open file write failed errno:13 get last err:", 0), 0u);
    EXPECT_EQ(DownloadHttps(kHost, "/pkg/velto/client.7z", L"", "", sink), -1);
    ASSERT_EQ(sink.errors.size(), 3u);
    EXPECT_EQ(sink.errors[2].rfind(L"open file write failed errno:", 0), 0u);
    EXPECT_EQ(DownloadHttp(kHost, "/pkg/velto/client.7z", L"", sink), -1);
    ASSERT_EQ(sink.errors.size(), 4u);
    EXPECT_EQ(sink.errors[3], L"path is empty");
    // No request was made and no fallback tried.
    EXPECT_EQ(Services::RecordCount(L"requests.jsonl"), from);
    EXPECT_FALSE(log.Has(kTurnLine));
    EXPECT_TRUE(sink.reports.empty());
}

TEST_F(Download, UrlWithoutSchemeGivesAnEmptyFile) {
    std::string host = "keep", path = "keep";
    EXPECT_FALSE(SplitUrl(std::string("ftp://") + kHost + "/pkg/velto/client.7z", host, path));
    ASSERT_TRUE(WriteBytes(target, "old"));
    // What the installer then does: plain HTTP with empty host and path.
    EXPECT_EQ(DownloadHttp("", "", target, sink), 0);
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ(ReadBytes(target), "");
    EXPECT_EQ(DownloadHttps("", "", target, "", sink), -2);
    EXPECT_EQ(Services::RecordCount(L"requests.jsonl"), from);
    EXPECT_TRUE(sink.errors.empty());
}

TEST_F(Download, SizesBeyondTwoGigabytesStayWhole) {
    ASSERT_TRUE(log.InstallCa());
    const uint64_t announced = 3221225472u + 17;  // over 2^31, a 32-bit library limit below 2^32
    ASSERT_TRUE(Services::AddFault("{\"path\":\"/t/huge\",\"status\":200,\"body_size\":" +
                                   std::to_string(announced) + ",\"cut_after\":300000}"));
    EXPECT_EQ(httplib_down_muti(kHost, "/t/huge", target, sink), 0);
    ASSERT_FALSE(sink.reports.empty());
    uint64_t most = 0;
    for (const Report& r : sink.reports) {
        EXPECT_EQ(r.total, announced);
        most = std::max(most, r.received);
    }
    EXPECT_EQ(most, 300000u);
    EXPECT_EQ(ReadBytes(target), std::string(300000, 'x'));
    EXPECT_EQ(log.Count(kTurnLine), 1u);
}

// Samples the process's private memory while the body arrives.
class MemorySink : public RecordingSink {
  public:
    void OnDownloadProgress(uint64_t received, uint64_t) override {
        if (received % (4u * 1024 * 1024) < 4096)
            most = std::max(most, PrivateBytes());
    }
    // Wine leaves PrivateUsage at 0; the page-file usage is the private bytes.
    static size_t PrivateBytes() {
        PROCESS_MEMORY_COUNTERS counters{};
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
        return counters.PagefileUsage;
    }
    size_t most = 0;
};

TEST_F(Download, BodyGoesToTheFileNotToMemory) {
    const uint64_t size = 96u * 1024 * 1024;
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/t/large\",\"status\":200,\"body_size\":" + std::to_string(size) + "}"));
    MemorySink memory;
    const size_t before = MemorySink::PrivateBytes();
    ASSERT_GT(before, 0u);
    EXPECT_EQ(DownloadHttp(kHost, "/t/large", target, memory), 0);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow, size);
    ASSERT_GT(memory.most, 0u);
    EXPECT_LT(memory.most, before + 16u * 1024 * 1024);
}

// --no-https: the HTTPS port refuses the connection.
TEST_F(Download, RefusedHttpsFallsBackToHttp) {
    ASSERT_TRUE(log.InstallCa());
    const std::string served = Serve(L"refused.bin", 50000);
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/refused.bin", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), served);
    EXPECT_EQ(log.Count(kTurnLine), 1u);
    EXPECT_EQ(Attempts("/pkg/refused.bin", "http"), 1u);
    ExpectRisingTo(sink.reports, served.size());
}

// --tls other-host and --tls self-signed: the certificate is refused.
TEST_F(Download, RejectedCertificateFallsBackToHttp) {
    ASSERT_TRUE(log.InstallCa());
    EXPECT_EQ(httplib_down_muti(kHost, "/pkg/velto/client.7z", target, sink), 0);
    EXPECT_EQ(ReadBytes(target), "velto client package");
    EXPECT_EQ(log.Count(kTurnLine), 1u);
    EXPECT_EQ(Attempts("/pkg/velto/client.7z", "https"), 0u);
    EXPECT_EQ(Attempts("/pkg/velto/client.7z", "http"), 1u);
}

TEST(SplitUrl, SchemesHostsAndPaths) {
    std::string host, path;
    ASSERT_TRUE(SplitUrl("https://dl.example.com/a/b.7z?x=1&y=/z", host, path));
    EXPECT_EQ(host, "dl.example.com");
    EXPECT_EQ(path, "/a/b.7z?x=1&y=/z");
    ASSERT_TRUE(SplitUrl("http://dl.example.com", host, path));
    EXPECT_EQ(host, "dl.example.com");
    EXPECT_EQ(path, "");
    // Text before the marker is dropped; "https://" wins wherever it stands.
    ASSERT_TRUE(SplitUrl("url= http://a/x https://b/y", host, path));
    EXPECT_EQ(host, "b");
    EXPECT_EQ(path, "/y");
    ASSERT_TRUE(SplitUrl("https://h:8443/p", host, path));
    EXPECT_EQ(host, "h:8443");
    EXPECT_EQ(path, "/p");
    ASSERT_TRUE(SplitUrl("https://", host, path));
    EXPECT_EQ(host, "");
    EXPECT_EQ(path, "");
    ASSERT_TRUE(SplitUrl("http:///only", host, path));
    EXPECT_EQ(host, "");
    EXPECT_EQ(path, "/only");

    host = "h0";
    path = "p0";
    for (const char* other :
         {"ftp://a/b", "dl.example.com/a", "", "HTTPS://a/b", "https:/a/b", "http:/", "https//a"}) {
        EXPECT_FALSE(SplitUrl(other, host, path)) << other;
        EXPECT_EQ(host, "h0");
        EXPECT_EQ(path, "p0");
    }
    // A zero byte is a character like any other here.
    ASSERT_TRUE(SplitUrl(std::string("x\0https://a/b", 13), host, path));
    EXPECT_EQ(host, "a");
}

TEST(FileCrc32, KnownValuesAndUnreadableFiles) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"empty"), ""));
    EXPECT_EQ(FileCrc32(dir.File(L"empty")), 0u);
    ASSERT_TRUE(WriteBytes(dir.File(L"check"), "123456789"));
    EXPECT_EQ(FileCrc32(dir.File(L"check")), 0xCBF43926u);
    // Around and across the reading chunks.
    for (size_t size :
         {size_t(1024 * 1024), size_t(1024 * 1024 + 1), size_t(5 * 1024 * 1024 + 7)}) {
        const std::string bytes = Pattern(size);
        ASSERT_TRUE(WriteBytes(dir.File(L"big"), bytes));
        EXPECT_EQ(FileCrc32(dir.File(L"big")), ZlibCrc(bytes)) << size;
    }
    EXPECT_EQ(FileCrc32(dir.File(L"missing")), 0u);
    EXPECT_EQ(FileCrc32(dir.Path()), 0u);
    EXPECT_EQ(FileCrc32(L""), 0u);
}

namespace {

// What the progress window redraws: each change of the whole percentage.
std::vector<int> Redraws(const std::vector<Report>& reports) {
    std::vector<int> shown;
    int last = 0;
    for (const Report& r : reports) {
        const int percent = ProgressPercent(r.received, r.total);
        if (percent != last)
            shown.push_back(percent);
        last = percent;
    }
    return shown;
}

}  // namespace

TEST(ProgressGate, PassesWhatChangesTheWindowOnly) {
    for (uint64_t total : {uint64_t(1), uint64_t(4095), uint64_t(89128960), uint64_t(3221225489u),
                           uint64_t(6) << 30}) {
        std::vector<Report> all, passed;
        ProgressGate gate;
        const uint64_t step = std::max<uint64_t>(1, total / 5000) + 4093;
        for (uint64_t r = std::min(step, total);; r = std::min(r + step, total)) {
            all.push_back({r, total});
            if (gate.Pass(r, total))
                passed.push_back({r, total});
            if (r == total)
                break;
        }
        EXPECT_EQ(Redraws(passed), Redraws(all)) << total;
        ASSERT_FALSE(passed.empty());
        EXPECT_EQ(passed.front().received, all.front().received);
        EXPECT_EQ(passed.back().received, total);
        EXPECT_LE(passed.size(), 102u) << total;
    }
    EXPECT_EQ(ProgressPercent(uint64_t(3) << 30, uint64_t(6) << 30), 50);
    EXPECT_EQ(ProgressPercent(5, 0), 500);
    EXPECT_EQ(ProgressPercent(0, 0), 0);
}
