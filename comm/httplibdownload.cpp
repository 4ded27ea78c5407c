#define VORN_LOG_SOURCE L"comm\\httplibdownload"
#include "comm/httplibdownload.h"

#include <httplib.h>
#include <windows.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "comm/httplibproxy.h"
#include "comm/httplibrequest.h"
#include "util/logger.h"
#include "util/win_handle.h"

namespace vorn {
namespace {

static_assert(CPPHTTPLIB_RECV_BUFSIZ == kDownloadPieceBytes,
              "the HTTP library is built with the piece size the download relies on");

const time_t kConnectSeconds = 300;
const time_t kReadSeconds = 5;
const size_t kFileBuffer = 256 * 1024;
// Blocks small enough to stay in the CPU cache between read and CRC.
const size_t kCrcChunk = 256 * 1024;

// Owns a C runtime stream; closed on every way out.
class ScopedFile {
  public:
    ScopedFile() = default;
    ~ScopedFile() { Close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    // Returns the open's error number (0 on success).
    errno_t Open(const std::wstring& path, const wchar_t* mode) {
        Close();
        return ::_wfopen_s(&file_, path.c_str(), mode);
    }
    std::FILE* Get() const { return file_; }
    void Close() {
        if (file_ != nullptr)
            std::fclose(file_);
        file_ = nullptr;
    }

  private:
    std::FILE* file_ = nullptr;
};

// Opens the target "wb+" (created or emptied); on failure tells the user why.
bool OpenTarget(ScopedFile& file, const std::wstring& filePath, DownloadSink& sink) {
    const errno_t e = file.Open(filePath, L"wb+");
    const DWORD w = ::GetLastError();
    if (e == 0 && file.Get() != nullptr) {
        // Fewer, larger writes; the stream owns no more than this.
        std::setvbuf(file.Get(), nullptr, _IOFBF, kFileBuffer);
        return true;
    }
    wchar_t text[256] = {};
    std::swprintf(text, 256, L"open file write failed errno:%d get last err:%d",
                  static_cast<int>(e), static_cast<int>(w));
    ::OutputDebugStringW(text);
    sink.OnDownloadError(text);
    return false;
}

void ApplyDownloadSettings(httplib::ClientImpl& client) {
    client.set_connection_timeout(kConnectSeconds, 0);
    client.set_read_timeout(kReadSeconds, 0);
    client.set_follow_location(false);
    client.set_keep_alive(false);
}

// GET path with every piece appended to the file as it arrives. True when a
// complete response came back, whatever its status.
bool Fetch(httplib::ClientImpl& client, ProxiedAttempt& proxy, const std::string& target,
           std::FILE* file, DownloadSink& sink) {
    const httplib::Result result = client.Get(
        target,
        [&proxy](const httplib::Response& response) { return proxy.TakeResponse(response); },
        [file](const char* data, size_t length) {
            // Write errors are left to the CRC check that follows.
            std::fwrite(data, 1, length, file);
            return true;
        },
        [&sink](uint64_t received, uint64_t total) {
            sink.OnDownloadProgress(received, total);
            return true;
        });
    return proxy.Answered(static_cast<bool>(result), result.error());
}

// "http://host" has no path; an empty request target is no HTTP.
std::string RequestTarget(const std::string& path) {
    return path.empty() ? std::string("/") : path;
}

}  // namespace

void ShowDownloadErrorBox(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), L"错误", MB_OK | MB_ICONERROR);
}

float ProgressShare(uint64_t received, uint64_t total) {
    const double d = total != 0 ? static_cast<double>(total) : 1.0;
    // Stored through volatile so that x87 code rounds to single precision as
    // SSE code does: the same figures on every architecture.
    volatile float x = static_cast<float>(static_cast<double>(received) * 100.0 / d);
    return x;
}

int WholePercent(float share) {
    return share >= static_cast<float>(INT_MAX) ? INT_MAX : static_cast<int>(share);
}

int ProgressPercent(uint64_t received, uint64_t total) {
    return WholePercent(ProgressShare(received, total));
}

bool ProgressGate::Pass(uint64_t received, uint64_t total) {
    const int percent = ProgressPercent(received, total);
    if (percent == lastPercent_ && received != total)
        return false;
    lastPercent_ = percent;
    return true;
}

int DownloadHttps(const std::string& host, const std::string& path, const std::wstring& filePath,
                  const std::string& caPath, DownloadSink& sink) {
    ScopedFile file;
    if (!OpenTarget(file, filePath, sink))
        return kDownloadFileFailed;
    // An empty host would name the local machine to the resolver.
    if (host.empty())
        return kDownloadNoAnswer;
    const std::string target = RequestTarget(path);
    ProxiedAttempt proxy(true, host, 443, target);
    const std::unique_ptr<httplib::SSLClient> client = proxy.MakeSslClient();
    ApplyDownloadSettings(*client);
    if (!caPath.empty())
        client->set_ca_cert_path(caPath.c_str());
    client->enable_server_certificate_verification(true);
    const bool answered = Fetch(*client, proxy, target, file.Get(), sink);
    file.Close();
    return answered ? kDownloadDone : kDownloadNoAnswer;
}

int DownloadHttp(const std::string& host, const std::string& path, const std::wstring& filePath,
                 DownloadSink& sink) {
    if (filePath.empty()) {
        sink.OnDownloadError(L"path is empty");
        return kDownloadFileFailed;
    }
    ScopedFile file;
    if (!OpenTarget(file, filePath, sink))
        return kDownloadFileFailed;
    if (host.empty())
        return kDownloadDone;
    const std::string target = RequestTarget(path);
    ProxiedAttempt proxy(false, host, 80, target);
    const std::unique_ptr<httplib::ClientImpl> client = proxy.MakePlainClient();
    ApplyDownloadSettings(*client);
    Fetch(*client, proxy, target, file.Get(), sink);
    file.Close();
    return kDownloadDone;
}

int httplib_down_muti(const std::string& host, const std::string& path,
                      const std::wstring& filePath, DownloadSink& sink) {
    const CaBundle bundle = LocateCaBundle();
    if (!bundle.found) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, "httplib_down_muti",
                      L"can not find cacert file");
    }
    // A missing bundle fails the verification, so HTTP follows.
    int result = DownloadHttps(host, path, filePath, bundle.path, sink);
    if (result == kDownloadNoAnswer) {
        Logger::Write(LOG_INFO, VORN_LOG_SOURCE, __LINE__, "httplib_down_muti",
                      L"https down load  turn to http");
        result = DownloadHttp(host, path, filePath, sink);
    }
    return result;
}

uint32_t FileCrc32(const std::wstring& filePath) {
    // Straight through the system, without the C runtime's stream layer: the
    // CRC then runs as fast as zlib's crc32 over a file read by hand.
    UniqueHandle file(::CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return 0;
    std::vector<unsigned char> buffer(kCrcChunk);
    uLong crc = ::crc32(0L, Z_NULL, 0);
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr))
            return 0;
        if (n == 0)
            break;
        crc = ::crc32(crc, buffer.data(), n);
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace vorn
