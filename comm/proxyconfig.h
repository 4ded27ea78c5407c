// The user's proxy settings and what they say for one address, read the way
// WinHTTP reads them: the proxy list and the bypass list. Text only, no system
// calls, so that the parsing runs (and is fuzzed) on any machine.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// The current user's connection settings as WinHTTP hands them over (UTF-8).
struct ProxySettings {
    bool autoDetect = false;  // "Automatically detect settings"
    std::string scriptUrl;    // automatic configuration script; empty when none
    std::string proxy;        // "host:port", "http=host:port;https=host:port", ...
    std::string bypass;       // "*.example.com;<local>", ...

    // Detection or a script: the proxy depends on each address.
    bool Resolves() const { return autoDetect || !scriptUrl.empty(); }
};

// How one attempt connects: directly (no host) or through host:port.
struct ProxyRoute {
    std::string host;  // an IPv6 address without brackets
    uint16_t port = 0;

    bool Direct() const { return host.empty(); }
    // "host:port", an IPv6 address in brackets.
    std::string Text() const;
};

// The server that a proxy list names for a scheme ("http" or "https"): its
// entry "scheme=server", else its first entry without a scheme, else none
// (direct). Entries are separated by ';' or white space; a server may be
// written "http://host:port" and has port 80 when it names none. Entries that
// name no HTTP proxy (socks=..., https://...) or cannot be read are skipped.
ProxyRoute ProxyForScheme(const std::string& list, const std::string& scheme);

// Whether the bypass list exempts host (reached by scheme on port): "<local>"
// matches a name without a dot, any other entry is [scheme://]pattern[:port],
// compared without regard to case, '*' standing for any run of characters.
bool BypassesProxy(const std::string& bypass, const std::string& scheme, const std::string& host,
                   uint16_t port);

// The fixed settings for one address: direct when the bypass list exempts it,
// else the proxy list's server for the scheme.
ProxyRoute FixedProxyRoute(const ProxySettings& settings, const std::string& scheme,
                           const std::string& host, uint16_t port);

// Whether host may be named to a proxy as it is: letters, digits and
// "-._~:[]%" only. A host from outside might otherwise carry a line break into
// the proxy's request, where a direct attempt fails at name resolution.
bool IsPlainHostName(const std::string& host);

// The address a script is asked about: "https://host:9186/path", without the
// port when it is the scheme's own.
std::string ProxyLookupUrl(const std::string& scheme, const std::string& host, uint16_t port,
                           const std::string& path);

}  // namespace vorn
