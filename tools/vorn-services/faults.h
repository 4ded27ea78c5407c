// Fault injection: canned failures for chosen endpoints.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorn::svc {

struct Fault {
    std::string path;            // exact request path, or "*" for every path
    std::string scheme = "any";  // "https", "http" or "any"
    std::string method;          // empty: any method
    int port = 0;                // 0: any port
    int status = 0;              // 0: keep the normal answer
    bool hasBody = false;
    std::string body;  // with status: the body sent (empty when not given)
    std::string contentType = "text/plain";
    int delayMs = 0;            // wait before answering
    bool silent = false;        // accept, then send nothing
    int silentMs = 30000;       // how long a silent request is held at most
    bool closeMidBody = false;  // announce the length, send half, close
    int64_t cutAfter = -1;      // announce the length, send this many bytes, close; -1 off
    int64_t bodySize = -1;      // with status: the body repeated to this many bytes; -1 off
    bool endless = false;       // with status: a chunked body that never ends
    int64_t rate = 0;           // bytes per second the body is sent at, at most; 0 off
    int stallMs = 0;            // a pause in the body this long ...
    int64_t stallEvery = 0;     // ... after every this many bytes of it; 0 off
    int times = -1;             // matching requests it still applies to; -1 always
    int hits = 0;               // requests it was applied to
};

// A JSON object (one fault) or an array of them.
bool ParseFaults(const std::string& json, std::vector<Fault>* faults, std::string* error);

std::string FaultsToJson(const std::vector<Fault>& faults);

class FaultTable {
  public:
    void Add(const std::vector<Fault>& faults);
    void Clear();
    std::vector<Fault> List() const;

    // The first fault that matches and still has uses left; counts the use.
    std::optional<Fault> Take(const std::string& path, const std::string& scheme,
                              const std::string& method, int port);

  private:
    mutable std::mutex mutex_;
    std::vector<Fault> faults_;
};

}  // namespace vorn::svc
