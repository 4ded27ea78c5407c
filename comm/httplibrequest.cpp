#define VORN_LOG_SOURCE L"comm\\httplibrequest"
#include "comm/httplibrequest.h"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "comm/httplibproxy.h"
#include "util/codepage_rules.h"
#include "util/logger.h"
#include "util/path_util.h"

namespace vorn {
namespace {

const char kCaBundleName[] = "cacert.pem";
const time_t kTimeoutSeconds = 5;

}  // namespace

CaBundle LocateCaBundle() {
    CaBundle bundle;
    // MAX_PATH characters, which under UTF-8 take up to three bytes each.
    const DWORD size = static_cast<DWORD>(NarrowBufferBytes(CP_ACP, MAX_PATH));
    std::vector<char> temp(size + 1, '\0');
    const DWORD n = ::GetTempPathA(size, temp.data());
    std::string path = (n > 0 && n < size) ? std::string(temp.data(), n) : std::string();
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += kCaBundleName;
    if (IsRegularFile(path)) {
        bundle.found = true;
        bundle.path = path;
        return bundle;
    }
    std::string folder;
    if (!GetModuleFolderA(folder))
        return bundle;
    bundle.path = PathJoinA(folder.c_str(), kCaBundleName);
    bundle.found = IsRegularFile(bundle.path);
    return bundle;
}

void ApplyTransportSettings(httplib::ClientImpl& client) {
    client.set_connection_timeout(kTimeoutSeconds, 0);
    client.set_read_timeout(kTimeoutSeconds, 0);
    client.set_follow_location(false);
    client.set_keep_alive(false);
}

bool ApplyCaBundle(httplib::SSLClient& client) {
    const CaBundle bundle = LocateCaBundle();
    if (bundle.found) {
        client.set_ca_cert_path(bundle.path);
        client.enable_server_certificate_verification(true);
    } else {
        // The library verifies by default, against Windows' root store when
        // it has no CA file; without a bundle nothing is verified.
        client.enable_server_certificate_verification(false);
    }
    return bundle.found;
}

bool BoundedAnswer::TakeResponse(const httplib::Response& response) {
    const std::string length = response.get_header_value("Content-Length");
    tooLarge_ = !length.empty() && std::strtoull(length.c_str(), nullptr, 10) > kMaxAnswerBytes;
    return !tooLarge_;
}

bool BoundedAnswer::TakeData(const char* data, size_t length) {
    if (body_.size() + length > kMaxAnswerBytes) {
        tooLarge_ = true;
        return false;
    }
    body_.append(data, length);
    return true;
}

AttemptResult httplib_request(const char* host, const char* path, const httplib::Headers& headers,
                              const std::string& body, std::string& answer, bool useHttps) {
    if (host == nullptr || path == nullptr)
        return AttemptResult::NoAnswer;
    ProxiedAttempt proxy(useHttps, host, useHttps ? 443 : 80, path);
    std::unique_ptr<httplib::ClientImpl> client;
    if (useHttps) {
        std::unique_ptr<httplib::SSLClient> ssl = proxy.MakeSslClient();
        if (!ApplyCaBundle(*ssl)) {
            Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, "httplib_request",
                          L"can not find cacert file");
        }
        client = std::move(ssl);
    } else {
        client = proxy.MakePlainClient();
    }
    ApplyTransportSettings(*client);

    httplib::Request request;
    request.method = "POST";
    request.path = path;
    request.headers = headers;
    request.headers.emplace("Content-Type", "application/json");
    request.body = body;
    BoundedAnswer received;
    request.response_handler = [&received, &proxy](const httplib::Response& response) {
        return proxy.TakeResponse(response) && received.TakeResponse(response);
    };
    request.content_receiver = [&received](const char* data, size_t n, uint64_t, uint64_t) {
        return received.TakeData(data, n);
    };
    httplib::Response response;
    httplib::Error error = httplib::Error::Success;
    const bool sent = client->send(request, response, error);
    if (proxy.Answered(sent, error)) {
        answer = received.TakeBody();
        return AttemptResult::Answered;
    }
    if (received.TooLarge()) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, "httplib_request",
                      L"answer longer than %u bytes dropped",
                      static_cast<unsigned>(kMaxAnswerBytes));
        return AttemptResult::TooLarge;
    }
    return AttemptResult::NoAnswer;
}

void httplib_request_muti(const char* host, const char* path, const httplib::Headers& headers,
                          const std::string& body, std::string& answer) {
    if (httplib_request(host, path, headers, body, answer, true) == AttemptResult::TooLarge)
        return;
    if (!answer.empty())
        return;
    Logger::Write(LOG_INFO, VORN_LOG_SOURCE, __LINE__, "httplib_request_muti",
                  L"https turn to http");
    httplib_request(host, path, headers, body, answer, false);
}

void PostRequest(const char* host, const char* path,
                 const std::map<std::string, std::string>& headers, const char* body,
                 std::string& answer) {
    httplib::Headers set;
    for (const auto& entry : headers)
        set.emplace(entry.first.c_str(), entry.second.c_str());
    httplib_request_muti(host, path, set, body != nullptr ? std::string(body) : std::string(),
                         answer);
}

}  // namespace vorn
