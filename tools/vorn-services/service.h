// The vendor's services behind one request dispatcher, shared by all listeners.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "cafe.h"
#include "faults.h"
#include "journal.h"

namespace vorn::svc {

struct ServiceConfig {
    std::string dataDir;
    std::string downloadHost;
    CafeKey cafeKey{};
    int ansiCodepage = 1252;
};

struct Listener {
    std::string scheme;  // "https" or "http"
    int port = 0;
    bool cafe = false;     // the cafe port answers /CXBasicInfo only
    bool control = false;  // the control endpoint answers here
};

class Service {
  public:
    explicit Service(ServiceConfig config);

    // Reads dataDir/faults.json if it exists.
    bool LoadFaultFile(std::string* error);

    // Routes every request of the server through this service.
    void Attach(httplib::Server& server, const Listener& listener);

    // Releases requests that are being held by a delay or a silent fault.
    void Stop();

  private:
    struct Reply {
        int status = 200;
        std::string contentType = "text/plain";
        std::string body;
        std::string filePath;  // when set, the body is this file
        uint64_t fileSize = 0;
        int64_t generatedSize = -1;  // when set, the body repeated to this many bytes
        bool endless = false;        // chunked, the body repeated without end
        std::string note;            // for the log
    };

    void Handle(const Listener& listener, const httplib::Request& req, httplib::Response& res);
    void HandleControl(const httplib::Request& req, httplib::Response& res);
    Reply Route(const Listener& listener, const httplib::Request& req);
    Reply ServeFile(const std::string& path);
    Reply ReportReply(const Listener& listener, const httplib::Request& req);
    void RecordRequest(const Listener& listener, const httplib::Request& req, bool faulted);
    // How a sized body is spread over time.
    struct Pace {
        int64_t rate = 0;        // > 0: at most that many bytes per second
        int stallMs = 0;         // a pause this long ...
        int64_t stallEvery = 0;  // ... after every this many bytes; 0 none
    };
    // cutAfter >= 0 sends only that many bytes of the announced body, then closes.
    void Send(const Reply& reply, httplib::Response& res, int64_t cutAfter, const Pace& pace);
    bool Stopping();
    bool Wait(int ms);  // false when the service is stopping

    ServiceConfig config_;
    FaultTable faults_;
    Journal requests_;
    Journal reports_;
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    bool stopping_ = false;
};

// One short line to stderr.
void LogLine(const std::string& text);

}  // namespace vorn::svc
