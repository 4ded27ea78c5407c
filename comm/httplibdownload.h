// Downloads of the client package over cpp-httplib: HTTPS first, plain HTTP
// when HTTPS brought back no answer, the body streamed into the target file as
// it arrives (nothing is held in memory, any size), and the file's CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "comm/urlsplit.h"

namespace vorn {

// Results of the download calls.
enum : int {
    kDownloadDone = 0,         // a server answered over HTTPS, or the HTTP attempt was made
    kDownloadFileFailed = -1,  // the target could not be opened (or, over HTTP, is empty)
    kDownloadNoAnswer = -2,    // DownloadHttps only: no complete answer came back
};

// The largest piece of the body read at once, as much as TLS reads ahead.
// Under Wine every socket call is a round trip to the wineserver, and every
// progress report costs its debug output, so large pieces count.
constexpr size_t kDownloadPieceBytes = 262144;

// The caller's side of a download. Both calls come on the downloading thread.
class DownloadSink {
  public:
    virtual ~DownloadSink() = default;

    // After every piece of the body that the library reads (at most
    // kDownloadPieceBytes each, 4 or more calls per MiB), and only when the server announced a
    // Content-Length: received = body bytes so far, total = that length. Never
    // for a chunked body or one that runs to the end of the connection. The
    // download waits for the call, so it must be cheap and must not block;
    // ProgressGate below lets a window be told only what changes its display.
    virtual void OnDownloadProgress(uint64_t received, uint64_t total) = 0;

    // A failure the user must see, shown before the call returns: a message
    // box with no owner, caption "错误" and the error icon, which
    // ShowDownloadErrorBox does.
    virtual void OnDownloadError(const std::wstring& text) = 0;
};

// The error box of the download wrapper; blocks until the user closes it.
void ShowDownloadErrorBox(const std::wstring& text);

// Passes the progress reports that change a whole percentage as the progress
// window computes it (received x 100 / total in double, rounded to float,
// truncated) and the last one (received == total), so that posting only what
// passes shows the same bar and counter as posting every report. One gate per
// download; 64-bit arithmetic, so packages of 2 GiB and more are no exception.
class ProgressGate {
  public:
    bool Pass(uint64_t received, uint64_t total);

  private:
    int lastPercent_ = -1;
};

// The percentage of these counts as the progress window computes it:
// received x 100 / total in double, rounded to float; a total of 0 counts as 1.
float ProgressShare(uint64_t received, uint64_t total);
// That share truncated to the whole percentage the bar shows; what exceeds
// INT_MAX shows as INT_MAX.
int ProgressPercent(uint64_t received, uint64_t total);
int WholePercent(float share);

// LocateCaBundle, DownloadHttps with its path (found or not), and one
// DownloadHttp when HTTPS brought back no answer. Returns 0 or -1.
int httplib_down_muti(const std::string& host, const std::string& path,
                      const std::wstring& filePath, DownloadSink& sink);

// One GET to host:443 with verification on, against caPath when not empty.
// 300 s to connect (per address), 5 s per read, no redirects. Returns 0, -1 or -2.
int DownloadHttps(const std::string& host, const std::string& path, const std::wstring& filePath,
                  const std::string& caPath, DownloadSink& sink);

// One GET to host:80 with the same settings. Returns 0 (answer or not) or -1.
int DownloadHttp(const std::string& host, const std::string& path, const std::wstring& filePath,
                 DownloadSink& sink);

// CRC-32 of IEEE 802.3 (as zlib's) of the file's content; 0 when it cannot be read.
uint32_t FileCrc32(const std::wstring& filePath);

}  // namespace vorn
