#include "service.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>

#include "catalogue.h"
#include "journal.h"
#include "codepage.h"
#include "reports.h"

namespace vorn::svc {
namespace {

const char kClientVersionPath[] = "/api/v1/sys/getClientVersion";
const char kReportPath[] = "/commonReport/report";
const char kCafePath[] = "/CXBasicInfo";
const char kAgreementPath[] = "/terms/pc/pop_agreement.html";
const char kControlFaults[] = "/__control/faults";

const char kDefaultAgreement[] =
    "<!DOCTYPE html>\n<html><head><meta "
    "charset=\"utf-8\"><title>Velto加速器用户协议</title></head>\n"
    "<body><h1>Velto加速器用户协议</h1>\n"
    "<p>本页面由本地测试服务提供。</p>\n</body></html>\n";

std::string ContentTypeFor(const std::string& path) {
    auto endsWith = [&](const char* ext) {
        std::string e(ext);
        return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
    };
    if (endsWith(".html") || endsWith(".htm"))
        return "text/html; charset=utf-8";
    if (endsWith(".json"))
        return "application/json";
    if (endsWith(".txt"))
        return "text/plain; charset=utf-8";
    if (endsWith(".7z"))
        return "application/x-7z-compressed";
    return "application/octet-stream";
}

// A request path that stays inside the files folder.
bool IsSafePath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos ||
        path.find('\\') != std::string::npos)
        return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(start, end - start);
        if (segment == "..")
            return false;
        start = end + 1;
    }
    return true;
}

HeaderList ClientHeaders(const httplib::Request& req) {
    HeaderList list;
    for (const auto& [name, value] : req.headers) {
        // httplib adds the peer's and our own address as pseudo headers.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
            name == "LOCAL_PORT")
            continue;
        list.emplace_back(name, value);
    }
    return list;
}

}  // namespace

void LogLine(const std::string& text) {
    std::string line = "vorn-services: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

Service::Service(ServiceConfig config)
    : config_(std::move(config)),
      requests_(config_.dataDir + "/requests.jsonl"),
      reports_(config_.dataDir + "/reports.jsonl") {}

bool Service::LoadFaultFile(std::string* error) {
    std::string text;
    if (!ReadWholeFile(config_.dataDir + "/faults.json", &text))
        return true;
    std::vector<Fault> faults;
    if (!ParseFaults(text, &faults, error)) {
        *error = "faults.json: " + *error;
        return false;
    }
    faults_.Add(faults);
    LogLine(std::to_string(faults.size()) + " fault(s) from faults.json");
    return true;
}

void Service::Attach(httplib::Server& server, const Listener& listener) {
    auto handler = [this, listener](const httplib::Request& req, httplib::Response& res) {
        Handle(listener, req, res);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Delete(".*", handler);
    server.Patch(".*", handler);
    server.Options(".*", handler);
}

void Service::Stop() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stopping_ = true;
    stopCv_.notify_all();
}

bool Service::Stopping() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    return stopping_;
}

bool Service::Wait(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void Service::Handle(const Listener& listener, const httplib::Request& req,
                     httplib::Response& res) {
    const std::string where = listener.scheme + ":" + std::to_string(listener.port) + " " +
                              req.method + " " + SanitizeUtf8(req.target);
    if (listener.control && req.path.rfind("/__control/", 0) == 0) {
        HandleControl(req, res);
        LogLine(where + " -> " + std::to_string(res.status));
        return;
    }

    std::optional<Fault> fault = faults_.Take(req.path, listener.scheme, req.method, listener.port);
    RecordRequest(listener, req, fault.has_value());

    if (fault && fault->delayMs > 0) {
        LogLine(where + ": delay " + std::to_string(fault->delayMs) + " ms");
        if (!Wait(fault->delayMs))
            return;
    }
    if (fault && fault->silent) {
        LogLine(where + ": silent");
        Wait(fault->silentMs);
        // Whoever is still listening gets a response that breaks off.
        res.status = 500;
        res.set_content_provider(1, "text/plain",
                                 [](size_t, size_t, httplib::DataSink&) { return false; });
        return;
    }

    Reply reply;
    if (fault && fault->status != 0) {
        reply.status = fault->status;
        reply.contentType = fault->contentType;
        reply.body = fault->body;
        reply.generatedSize = fault->bodySize;
        reply.endless = fault->endless;
        reply.note = fault->endless ? "fault, endless body"
                     : fault->bodySize >= 0
                         ? "fault, body of " + std::to_string(fault->bodySize) + " bytes"
                         : "fault";
    } else {
        reply = Route(listener, req);
    }
    const int64_t cutAfter = !fault ? -1 : fault->closeMidBody ? -2 : fault->cutAfter;
    LogLine(where + " -> " + std::to_string(reply.status) +
            (cutAfter == -2  ? " (cut mid-body)"
             : cutAfter >= 0 ? " (cut after " + std::to_string(cutAfter) + " bytes)"
                             : "") +
            (fault && fault->rate > 0 ? " at " + std::to_string(fault->rate) + " bytes/s" : "") +
            (fault && fault->stallEvery > 0
                 ? " stalling " + std::to_string(fault->stallMs) + " ms every " +
                       std::to_string(fault->stallEvery) + " bytes"
                 : "") +
            (reply.note.empty() ? "" : " " + reply.note));
    Pace pace;
    if (fault)
        pace = Pace{fault->rate, fault->stallMs, fault->stallEvery};
    Send(reply, res, cutAfter, pace);
}

void Service::HandleControl(const httplib::Request& req, httplib::Response& res) {
    if (req.path != kControlFaults) {
        res.status = 404;
        return;
    }
    if (req.method == "POST") {
        std::vector<Fault> faults;
        std::string error;
        if (!ParseFaults(req.body, &faults, &error)) {
            res.status = 400;
            std::unique_ptr<cJSON, JsonDeleter> o(cJSON_CreateObject());
            cJSON_AddStringToObject(o.get(), "error", error.c_str());
            char* text = cJSON_PrintUnformatted(o.get());
            res.set_content(text ? text : "{}", "application/json");
            cJSON_free(text);
            return;
        }
        faults_.Add(faults);
    } else if (req.method == "DELETE") {
        faults_.Clear();
    } else if (req.method != "GET") {
        res.status = 405;
        return;
    }
    res.status = 200;
    res.set_content(FaultsToJson(faults_.List()), "application/json");
}

Service::Reply Service::Route(const Listener& listener, const httplib::Request& req) {
    Reply reply;
    if (listener.cafe) {
        if (req.method != "GET" || req.path != kCafePath) {
            reply.status = 404;
            return reply;
        }
        std::string document;
        if (!ReadWholeFile(config_.dataDir + "/cafe.json", &document)) {
            reply.status = 404;
            reply.note = "no cafe.json";
            return reply;
        }
        reply.contentType = "application/javascript";
        reply.body = CafeAnswer(document, config_.cafeKey);
        reply.note = "cafe document of " + std::to_string(document.size()) + " bytes";
        return reply;
    }
    if (req.method == "POST" && req.path == kClientVersionPath) {
        ClientVersionResult result =
            AnswerClientVersion(config_.dataDir, req.body, config_.downloadHost);
        reply.contentType = "application/json";
        reply.body = result.answer;
        reply.note = SanitizeUtf8(result.note);
        return reply;
    }
    if (req.method == "POST" && req.path == kReportPath)
        return ReportReply(listener, req);
    if (req.method == "GET" || req.method == "HEAD")
        return ServeFile(req.path);
    reply.status = 404;
    return reply;
}

Service::Reply Service::ServeFile(const std::string& path) {
    Reply reply;
    struct stat st;
    const std::string file = config_.dataDir + "/files" + path;
    if (IsSafePath(path) && stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        reply.filePath = file;
        reply.fileSize = static_cast<uint64_t>(st.st_size);
        reply.contentType = ContentTypeFor(path);
        reply.note = std::to_string(reply.fileSize) + " bytes";
        return reply;
    }
    if (path == kAgreementPath) {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = kDefaultAgreement;
        reply.note = "built-in agreement page";
        return reply;
    }
    reply.status = 404;
    return reply;
}

Service::Reply Service::ReportReply(const Listener& listener, const httplib::Request& req) {
    const std::string sign = req.get_header_value("sign");
    std::unique_ptr<cJSON, JsonDeleter> record(BuildReportRecord(
        listener.scheme, ClientHeaders(req), req.body, sign, config_.ansiCodepage));
    reports_.Append(record.get());
    const cJSON* valid = cJSON_GetObjectItemCaseSensitive(record.get(), "sign_valid");
    Reply reply;
    reply.contentType = "application/json";
    reply.body = "{\"code\":0,\"msg\":\"ok\"}";
    reply.note = cJSON_IsTrue(valid) ? "report, signature valid" : "report, signature INVALID";
    return reply;
}

void Service::RecordRequest(const Listener& listener, const httplib::Request& req, bool faulted) {
    std::unique_ptr<cJSON, JsonDeleter> record(cJSON_CreateObject());
    cJSON* o = record.get();
    cJSON_AddStringToObject(o, "time", IsoTimeNow().c_str());
    cJSON_AddStringToObject(o, "scheme", listener.scheme.c_str());
    cJSON_AddNumberToObject(o, "port", listener.port);
    cJSON_AddStringToObject(o, "method", SanitizeUtf8(req.method).c_str());
    cJSON_AddStringToObject(o, "path", SanitizeUtf8(req.path).c_str());
    cJSON_AddStringToObject(o, "target", SanitizeUtf8(req.target).c_str());
    cJSON_AddStringToObject(o, "host", SanitizeUtf8(req.get_header_value("Host")).c_str());
    cJSON_AddItemToObject(o, "headers", HeadersToJson(ClientHeaders(req)));
    cJSON_AddStringToObject(o, "body_hex", ToHex(req.body).c_str());
    cJSON_AddBoolToObject(o, "fault", faulted);
    requests_.Append(o);
}

namespace {

// Holds each piece of a paced body back until the time by which the bytes up
// to its end may have been sent, and pauses where a stall is due.
class Pacer {
  public:
    Pacer(int64_t rate, int stallMs, int64_t stallEvery, std::function<bool(int)> wait)
        : rate_(rate),
          stallMs_(stallMs),
          stallEvery_(stallEvery),
          wait_(std::move(wait)),
          start_(std::chrono::steady_clock::now()) {}
    // Before the piece [offset, end); false when the service stops meanwhile.
    bool Before(uint64_t offset, uint64_t end) {
        if (stallEvery_ > 0 && offset > 0 && offset % static_cast<uint64_t>(stallEvery_) == 0 &&
            offset != stalledAt_) {
            stalledAt_ = offset;
            const auto began = std::chrono::steady_clock::now();
            if (!wait_(stallMs_))
                return false;
            // The rate does not make up for the pause.
            start_ += std::chrono::steady_clock::now() - began;
        }
        if (rate_ <= 0)
            return true;
        const auto due = start_ + std::chrono::microseconds(static_cast<int64_t>(
                                      static_cast<double>(end) * 1e6 / static_cast<double>(rate_)));
        std::this_thread::sleep_until(due);
        return true;
    }
    // Pieces small enough that a paced body flows rather than jumps, and that
    // end where a stall is due.
    size_t Piece(uint64_t offset, size_t most) const {
        size_t n = rate_ > 0 ? std::min<size_t>(most, std::max<int64_t>(rate_ / 20, 4096)) : most;
        if (stallEvery_ > 0)
            n = static_cast<size_t>(std::min<uint64_t>(
                n,
                static_cast<uint64_t>(stallEvery_) - offset % static_cast<uint64_t>(stallEvery_)));
        return n;
    }

  private:
    int64_t rate_;
    int stallMs_;
    int64_t stallEvery_;
    std::function<bool(int)> wait_;
    std::chrono::steady_clock::time_point start_;
    uint64_t stalledAt_ = 0;
};

}  // namespace

void Service::Send(const Reply& reply, httplib::Response& res, int64_t cutAfter, const Pace& pace) {
    res.status = reply.status;
    const std::string pattern = reply.body.empty() ? std::string("x") : reply.body;
    if (reply.endless) {
        // Ends only when the client goes away or the service stops.
        res.set_chunked_content_provider(
            reply.contentType, [this, pattern](size_t, httplib::DataSink& sink) {
                std::string piece;
                while (piece.size() < 65536)
                    piece += pattern;
                return !Stopping() && sink.write(piece.data(), piece.size());
            });
        return;
    }
    const bool fromFile = !reply.filePath.empty();
    const bool generated = !fromFile && reply.generatedSize >= 0;
    const uint64_t length = fromFile    ? reply.fileSize
                            : generated ? static_cast<uint64_t>(reply.generatedSize)
                                        : reply.body.size();
    if (length == 0)
        return;  // e.g. 204: no body, Content-Length 0
    // Sized content providers are never compressed, so the client gets the
    // exact bytes, and a provider that gives up closes the connection.
    // cutAfter -2 is close_mid_body: half of the announced length.
    const uint64_t limit = cutAfter == -2 ? length / 2
                           : cutAfter >= 0
                               ? std::min<uint64_t>(static_cast<uint64_t>(cutAfter), length)
                               : length;
    auto pacer = std::make_shared<Pacer>(pace.rate, pace.stallMs, pace.stallEvery,
                                         [this](int ms) { return Wait(ms); });
    if (fromFile) {
        std::shared_ptr<std::FILE> file(std::fopen(reply.filePath.c_str(), "rb"), [](std::FILE* f) {
            if (f)
                std::fclose(f);
        });
        res.set_content_provider(
            static_cast<size_t>(length), reply.contentType,
            [file, limit, pacer](size_t offset, size_t want, httplib::DataSink& sink) {
                if (!file || offset >= limit)
                    return false;
                char buffer[65536];
                size_t n = static_cast<size_t>(std::min<uint64_t>(
                    {want, limit - offset, pacer->Piece(offset, sizeof(buffer))}));
                if (!pacer->Before(offset, offset + n))
                    return false;
                if (fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
                    return false;
                size_t got = std::fread(buffer, 1, n, file.get());
                if (got == 0)
                    return false;
                return sink.write(buffer, got);
            });
        return;
    }
    if (generated) {
        // Made as it is sent, so any size costs no memory.
        res.set_content_provider(
            static_cast<size_t>(length), reply.contentType,
            [pattern, limit, pacer](size_t offset, size_t want, httplib::DataSink& sink) {
                if (offset >= limit)
                    return false;
                char buffer[65536];
                const size_t n = static_cast<size_t>(std::min<uint64_t>(
                    {want, limit - offset, pacer->Piece(offset, sizeof(buffer))}));
                if (!pacer->Before(offset, offset + n))
                    return false;
                for (size_t i = 0; i < n; ++i)
                    buffer[i] = pattern[(offset + i) % pattern.size()];
                return sink.write(buffer, n);
            });
        return;
    }
    auto body = std::make_shared<std::string>(reply.body);
    res.set_content_provider(
        static_cast<size_t>(length), reply.contentType,
        [body, limit, pacer](size_t offset, size_t want, httplib::DataSink& sink) {
            if (offset >= limit)
                return false;
            size_t n = static_cast<size_t>(
                std::min<uint64_t>({want, limit - offset, pacer->Piece(offset, want)}));
            if (!pacer->Before(offset, offset + n))
                return false;
            return sink.write(body->data() + offset, n);
        });
}

}  // namespace vorn::svc
