// Small text requests over cpp-httplib: HTTPS first, plain HTTP when HTTPS
// brought back nothing, and the CA bundle looked up again at every attempt.
// The answer is the response body whatever its status.
#pragma once

#include <httplib.h>

#include <map>
#include <string>

namespace vorn {

// The most an answer of the vendor's services may hold; a longer one (or one
// that does not end) is dropped as no answer, so it cannot exhaust memory.
constexpr size_t kMaxAnswerBytes = 1024 * 1024;

struct CaBundle {
    bool found = false;
    std::string path;  // ANSI; the last place looked at when not found
};

// "cacert.pem" in the temporary folder, else beside the executable.
CaBundle LocateCaBundle();

// The settings every client of the installer shares: 5 s to connect (per
// address) and for each read, no redirects, one request per connection.
void ApplyTransportSettings(httplib::ClientImpl& client);

// A found bundle becomes the CA file with verification on; without one the
// client verifies nothing (the library would otherwise fall back to the
// system store). Returns whether a bundle was found; the caller logs.
bool ApplyCaBundle(httplib::SSLClient& client);

// Collects an answer of at most kMaxAnswerBytes: an announced length over the
// limit is refused before any of the body is read, and what arrives without
// one (chunked, or up to the close) is counted.
class BoundedAnswer {
  public:
    // For the request's response and content handlers: false ends the exchange.
    bool TakeResponse(const httplib::Response& response);
    bool TakeData(const char* data, size_t length);
    bool TooLarge() const { return tooLarge_; }
    std::string TakeBody() { return std::move(body_); }

  private:
    std::string body_;
    bool tooLarge_ = false;
};

// How an attempt ended: no response, a response whose body became the
// answer, or a response too long to keep (an answer all the same, though
// none that the caller can use).
enum class AttemptResult { NoAnswer, Answered, TooLarge };

// One POST attempt to host:443 (useHttps) or host:80 with Content-Type
// "application/json". answer is replaced by the body when a response came
// back and left as it was otherwise, also when the body would exceed
// kMaxAnswerBytes.
AttemptResult httplib_request(const char* host, const char* path, const httplib::Headers& headers,
                              const std::string& body, std::string& answer, bool useHttps);

// HTTPS, then plain HTTP when the answer is still empty, unless HTTPS brought
// an answer too long to keep: the server answered, and would again.
void httplib_request_muti(const char* host, const char* path, const httplib::Headers& headers,
                          const std::string& body, std::string& answer);

// The form the services use: every header of the map copied into a header
// set, the body up to its first zero byte, then httplib_request_muti.
void PostRequest(const char* host, const char* path,
                 const std::map<std::string, std::string>& headers, const char* body,
                 std::string& answer);

}  // namespace vorn
