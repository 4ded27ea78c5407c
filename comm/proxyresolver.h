// The proxy of each attempt, chosen as Windows programs choose it: the current
// user's connection settings read once per process through WinHTTP and, where
// they ask for detection or a script, WinHTTP's resolution of each address.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "comm/proxyconfig.h"
#include "util/win_handle.h"

namespace vorn {

// A WinHTTP handle (HINTERNET), closed with WinHttpCloseHandle.
struct WinHttpHandleTraits {
    using Handle = void*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h);
};
using UniqueWinHttpHandle = ScopedHandle<WinHttpHandleTraits>;

// WinHttpGetIEProxyConfigForCurrentUser; no proxy at all when it fails.
ProxySettings ReadUserProxySettings();

class ProxyResolver {
  public:
    explicit ProxyResolver(ProxySettings settings);
    ~ProxyResolver();
    ProxyResolver(const ProxyResolver&) = delete;
    ProxyResolver& operator=(const ProxyResolver&) = delete;

    // The process's resolver over the current user's settings, made at its
    // first use and kept until the process ends.
    static ProxyResolver& ForCurrentUser();

    const ProxySettings& Settings() const { return settings_; }

    // The route for scheme://host:port/path. With detection or a script the
    // script decides; when neither yields one (nothing detected, the script
    // cannot be fetched or run), the fixed proxy and bypass list decide.
    ProxyRoute Route(const std::string& scheme, const std::string& host, uint16_t port,
                     const std::string& path);

  private:
    // True when a script gave the route (direct included).
    bool RouteByScript(const std::string& scheme, const std::string& host, uint16_t port,
                       const std::string& path, ProxyRoute& route);

    const ProxySettings settings_;
    std::mutex mutex_;             // guards the members below; one lookup at a time
    UniqueWinHttpHandle session_;  // fetches the scripts; opened at the first lookup
    bool detectionFailed_ = false;
    bool scriptFailureLogged_ = false;
};

}  // namespace vorn
