// The proxy and bypass lists of the user's settings: any text reads without
// harm; a chosen server has a host free of separators and a port, and reads
// back from its own text; a plain host name as a bypass entry matches itself.
// Input: the list, a line feed, the host.
#include <cstdint>
#include <string>

#include "comm/proxyconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t cut = text.find('\n');
    const std::string list = text.substr(0, cut);
    const std::string host = cut == std::string::npos ? "dl.example.com" : text.substr(cut + 1);
    for (const char* scheme : {"http", "https"}) {
        const uint16_t port = scheme[4] == 's' ? 443 : 80;
        const vorn::ProxyRoute route = vorn::ProxyForScheme(list, scheme);
        if (!route.Direct()) {
            if (route.port == 0)
                __builtin_trap();
            for (char c : route.host) {
                if (c == ';' || c == '/' || c == '@' || c == '=' ||
                    static_cast<unsigned char>(c) < 0x21)
                    __builtin_trap();
            }
            const vorn::ProxyRoute again = vorn::ProxyForScheme(route.Text(), scheme);
            if (again.host != route.host || again.port != route.port)
                __builtin_trap();
        }
        vorn::BypassesProxy(list, scheme, host, port);
        if (vorn::IsPlainHostName(host) && host.find(':') == std::string::npos && host[0] != '[' &&
            !vorn::BypassesProxy(host, scheme, host, port))
            __builtin_trap();
        vorn::ProxyLookupUrl(scheme, host, port, list);
    }
    return 0;
}
