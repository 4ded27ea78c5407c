#define VORN_LOG_SOURCE L"comm\\proxyresolver"
#include "comm/proxyresolver.h"

#include <windows.h>
// after windows.h
#include <winhttp.h>

#include "util/logger.h"
#include "util/string_util.h"

namespace vorn {
namespace {

// A script is fetched with the patience of a request.
const int kScriptTimeoutMs = 5000;

// A string that WinHTTP allocated for its caller.
class WinHttpText {
  public:
    explicit WinHttpText(LPWSTR text) : text_(text) {}
    ~WinHttpText() {
        if (text_ != nullptr)
            ::GlobalFree(text_);
    }
    WinHttpText(const WinHttpText&) = delete;
    WinHttpText& operator=(const WinHttpText&) = delete;

    std::string Utf8() const { return text_ != nullptr ? WideToUtf8(text_) : std::string(); }

  private:
    LPWSTR text_;
};

}  // namespace

void WinHttpHandleTraits::Close(Handle h) {
    ::WinHttpCloseHandle(h);
}

ProxySettings ReadUserProxySettings() {
    ProxySettings settings;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config))
        return settings;
    const WinHttpText script(config.lpszAutoConfigUrl);
    const WinHttpText proxy(config.lpszProxy);
    const WinHttpText bypass(config.lpszProxyBypass);
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.scriptUrl = script.Utf8();
    settings.proxy = proxy.Utf8();
    settings.bypass = bypass.Utf8();
    return settings;
}

ProxyResolver::ProxyResolver(ProxySettings settings) : settings_(std::move(settings)) {}

ProxyResolver::~ProxyResolver() = default;

ProxyResolver& ProxyResolver::ForCurrentUser() {
    // Never destroyed: a request may still be under way while the process ends.
    static ProxyResolver* const resolver = new ProxyResolver(ReadUserProxySettings());
    return *resolver;
}

ProxyRoute ProxyResolver::Route(const std::string& scheme, const std::string& host, uint16_t port,
                                const std::string& path) {
    ProxyRoute route;
    if (settings_.Resolves() && RouteByScript(scheme, host, port, path, route))
        return route;
    return FixedProxyRoute(settings_, scheme, host, port);
}

bool ProxyResolver::RouteByScript(const std::string& scheme, const std::string& host, uint16_t port,
                                  const std::string& path, ProxyRoute& route) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!session_) {
        session_.Reset(::WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session_)
            return false;
        ::WinHttpSetTimeouts(session_.Get(), kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs,
                             kScriptTimeoutMs);
    }
    const std::wstring url = Utf8ToWide(ProxyLookupUrl(scheme, host, port, path));
    // Detection first, then the configured script, as Windows does when both
    // are asked for at once; one at a time, because Wine refuses both flags
    // together (ERROR_INVALID_PARAMETER).
    auto lookup = [&](WINHTTP_AUTOPROXY_OPTIONS& options, DWORD& error) {
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info = {};
        if (!::WinHttpGetProxyForUrl(session_.Get(), url.c_str(), &options, &info)) {
            error = ::GetLastError();
            return false;
        }
        const WinHttpText proxy(info.lpszProxy);
        const WinHttpText bypass(info.lpszProxyBypass);
        route = ProxyRoute();
        if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY &&
            !BypassesProxy(bypass.Utf8(), scheme, host, port)) {
            route = ProxyForScheme(proxy.Utf8(), scheme);
        }
        return true;
    };
    DWORD error = 0;
    if (settings_.autoDetect && !detectionFailed_) {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        if (lookup(options, error))
            return true;
        // Nothing to detect on this network: later lookups skip detection.
        if (error == ERROR_WINHTTP_AUTODETECTION_FAILED)
            detectionFailed_ = true;
    }
    if (settings_.scriptUrl.empty())
        return false;
    const std::wstring script = Utf8ToWide(settings_.scriptUrl);
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = script.c_str();
    if (lookup(options, error))
        return true;
    if (!scriptFailureLogged_) {
        scriptFailureLogged_ = true;
        Logger::Write(LOG_ERROR, VORN_LOG_SOURCE, __LINE__, "ProxyResolver::Route",
                      L" proxy script %s not usable (%lu)", script.c_str(),
                      static_cast<unsigned long>(error));
    }
    return false;
}

}  // namespace vorn
