#define VORN_LOG_SOURCE L"comm\\httplibproxy"
#include "comm/httplibproxy.h"

#include <string>
#include <utility>

#include "comm/proxyresolver.h"
#include "util/logger.h"
#include "util/string_util.h"

namespace vorn {
namespace {

const int kProxyAuthenticationRequired = 407;
// The most a proxy's answer to CONNECT may take up to its blank line.
const size_t kMaxConnectHead = 16 * 1024;

bool IsSuccess(int status) {
    return status >= 200 && status <= 299;
}

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// An HTTPS client whose socket leads through a CONNECT tunnel of a proxy; TLS,
// SNI and the certificate check then run with the server itself, as direct.
// The exchange with the proxy is ours: the library's own holds the client's
// socket lock while a refusal with "Connection: close" (or any HTTP/1.0
// answer) takes that lock again, and the client hangs for good; it also hands
// a 407 back as if the server had answered.
class TunnelClient : public httplib::SSLClient {
  public:
    TunnelClient(const std::string& host, int port, ProxyRoute proxy, int& connectStatus)
        : SSLClient(host, port), proxy_(std::move(proxy)), connectStatus_(connectStatus) {}

  private:
    bool create_and_connect_socket(Socket& socket, httplib::Error& error) override {
        if (!is_valid())
            return false;
        const socket_t sock = httplib::detail::create_client_socket(
            proxy_.host, std::string(), proxy_.port, address_family_, tcp_nodelay_, socket_options_,
            connection_timeout_sec_, connection_timeout_usec_, read_timeout_sec_,
            read_timeout_usec_, write_timeout_sec_, write_timeout_usec_, interface_, error);
        if (sock == INVALID_SOCKET)
            return false;
        connectStatus_ = Connect(sock);
        if (!IsSuccess(connectStatus_)) {
            httplib::detail::close_socket(sock);
            error = connectStatus_ == ProxiedAttempt::kConnectUnanswered
                        ? httplib::Error::Read
                        : httplib::Error::Connection;
            return false;
        }
        socket.sock = sock;
        return true;
    }

    // Sends CONNECT and reads the answer's head byte by byte, so that nothing
    // of the tunnel is taken from the socket. The answer's status, or
    // kConnectUnanswered.
    int Connect(socket_t sock) const {
        const std::string request =
            "CONNECT " + host_and_port_ + " HTTP/1.1\r\nHost: " + host_and_port_ + "\r\n\r\n";
        size_t sent = 0;
        while (sent < request.size()) {
            if (httplib::detail::select_write(sock, write_timeout_sec_, write_timeout_usec_) <= 0)
                return ProxiedAttempt::kConnectUnanswered;
            const ssize_t n =
                httplib::detail::send_socket(sock, request.data() + sent, request.size() - sent, 0);
            if (n <= 0)
                return ProxiedAttempt::kConnectUnanswered;
            sent += static_cast<size_t>(n);
        }
        std::string head;
        bool complete = false;
        while (!complete && head.size() < kMaxConnectHead) {
            if (httplib::detail::select_read(sock, read_timeout_sec_, read_timeout_usec_) <= 0)
                return ProxiedAttempt::kConnectUnanswered;
            char c = 0;
            if (httplib::detail::read_socket(sock, &c, 1, 0) != 1)
                break;
            head += c;
            complete = EndsWith(head, "\r\n\r\n") || EndsWith(head, "\n\n");
        }
        // "HTTP/1.x NNN reason"
        if (head.size() < 12 || head.compare(0, 7, "HTTP/1.") != 0 || head[8] != ' ')
            return ProxiedAttempt::kConnectUnanswered;
        int status = 0;
        for (size_t i = 9; i < 12; ++i) {
            if (head[i] < '0' || head[i] > '9')
                return ProxiedAttempt::kConnectUnanswered;
            status = status * 10 + (head[i] - '0');
        }
        // A head cut off by the end of the connection opens no tunnel.
        return (complete || !IsSuccess(status)) ? status : ProxiedAttempt::kConnectUnanswered;
    }

    const ProxyRoute proxy_;
    int& connectStatus_;
};

}  // namespace

ProxiedAttempt::ProxiedAttempt(bool tls, const std::string& host, uint16_t port,
                               const std::string& path)
    : ProxiedAttempt(tls, host, port,
                     IsPlainHostName(host) ? ProxyResolver::ForCurrentUser().Route(
                                                 tls ? "https" : "http", host, port, path)
                                           : ProxyRoute()) {}

ProxiedAttempt::ProxiedAttempt(bool tls, const std::string& host, uint16_t port, ProxyRoute route)
    : route_(std::move(route)), tls_(tls), host_(host), port_(port) {}

std::unique_ptr<httplib::SSLClient> ProxiedAttempt::MakeSslClient() {
    if (route_.Direct())
        return std::make_unique<httplib::SSLClient>(host_, port_);
    return std::make_unique<TunnelClient>(host_, port_, route_, connectStatus_);
}

std::unique_ptr<httplib::ClientImpl> ProxiedAttempt::MakePlainClient() {
    auto client = std::make_unique<httplib::ClientImpl>(host_, port_);
    if (!route_.Direct())
        client->set_proxy(route_.host, route_.port);
    return client;
}

bool ProxiedAttempt::TakeResponse(const httplib::Response& response) {
    if (route_.Direct() || tls_ || response.status != kProxyAuthenticationRequired)
        return true;
    proxyAuth_ = true;
    return false;
}

bool ProxiedAttempt::Answered(bool sent, httplib::Error error) const {
    if (route_.Direct())
        return sent;
    const char* const kFunction = "ProxiedAttempt::Answered";
    const std::wstring proxy = Utf8ToWide(route_.Text());
    const std::wstring target = Utf8ToWide(host_ + ":" + std::to_string(port_));
    if (proxyAuth_ || connectStatus_ == kProxyAuthenticationRequired) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, kFunction,
                      L" proxy %s asks for authentication (407)", proxy.c_str());
        return false;
    }
    if (connectStatus_ == kConnectUnanswered) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, kFunction,
                      L" proxy %s gave no answer to CONNECT %s", proxy.c_str(), target.c_str());
        return false;
    }
    if (connectStatus_ != kConnectNotSent && !IsSuccess(connectStatus_)) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, kFunction,
                      L" proxy %s refused CONNECT %s (%d)", proxy.c_str(), target.c_str(),
                      connectStatus_);
        return false;
    }
    if (sent)
        return true;
    if (error == httplib::Error::Connection && connectStatus_ == kConnectNotSent) {
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, kFunction, L" proxy %s unreachable",
                      proxy.c_str());
    }
    return false;
}

}  // namespace vorn
