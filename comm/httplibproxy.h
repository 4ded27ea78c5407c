// One attempt of an HTTP client through the proxy that the user's settings
// choose for its address: a CONNECT tunnel for HTTPS (the certificate is still
// checked against the server itself), the absolute form for plain HTTP.
// Afterwards it tells a server's answer from a proxy's refusal, which is no
// answer, and logs why.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>

#include "comm/proxyconfig.h"

namespace vorn {

class ProxiedAttempt {
  public:
    // Asks the process's resolver for the route of scheme://host:port/path
    // (https when tls).
    ProxiedAttempt(bool tls, const std::string& host, uint16_t port, const std::string& path);
    // The same with the route already chosen.
    ProxiedAttempt(bool tls, const std::string& host, uint16_t port, ProxyRoute route);
    ProxiedAttempt(const ProxiedAttempt&) = delete;
    ProxiedAttempt& operator=(const ProxiedAttempt&) = delete;

    const ProxyRoute& Route() const { return route_; }

    // The client of the attempt (this must outlive it): for tls an HTTPS
    // client, tunnelled through the proxy when there is one; else a plain one
    // that sends through the proxy.
    std::unique_ptr<httplib::SSLClient> MakeSslClient();
    std::unique_ptr<httplib::ClientImpl> MakePlainClient();

    // For the request's response handler: false when the proxy answered a
    // plain request with 407 itself, which ends the attempt before its body.
    bool TakeResponse(const httplib::Response& response);

    // After the exchange (sent: a response came back): whether it is the
    // server's answer. When the proxy ended the attempt (unreachable, 407,
    // CONNECT refused or unanswered) it is not, and an Error line says why.
    bool Answered(bool sent, httplib::Error error) const;

    // What the proxy said to CONNECT.
    enum : int { kConnectNotSent = 0, kConnectUnanswered = -1 };

  private:
    ProxyRoute route_;
    bool tls_;
    std::string host_;
    uint16_t port_;
    int connectStatus_ = kConnectNotSent;  // or the status of the proxy's answer
    bool proxyAuth_ = false;
};

}  // namespace vorn
