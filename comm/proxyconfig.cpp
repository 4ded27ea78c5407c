#include "comm/proxyconfig.h"

#include <vector>

namespace vorn {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsSeparator(char c, bool comma) {
    return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || (comma && c == ',');
}

std::vector<std::string> Entries(const std::string& list, bool comma) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && IsSeparator(list[i], comma))
            ++i;
        const size_t start = i;
        while (i < list.size() && !IsSeparator(list[i], comma))
            ++i;
        if (i > start)
            out.push_back(list.substr(start, i - start));
    }
    return out;
}

// 1 to 65535, digits only.
bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// Cuts "scheme://" off the front of text; the scheme in lower case, or "".
std::string TakeScheme(std::string& text) {
    const size_t marker = text.find("://");
    if (marker == std::string::npos || marker == 0)
        return std::string();
    std::string scheme = text.substr(0, marker);
    for (char& c : scheme) {
        c = Lower(c);
        if (!(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return std::string();
    }
    text.erase(0, marker + 3);
    return scheme;
}

// "host", "host:port", "[v6]" or "[v6]:port" into its parts; port stays as it
// was when none is written. False when it is none of these.
bool SplitHostPort(const std::string& text, std::string& host, std::string& portText) {
    portText.clear();
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close == 1)
            return false;
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (rest.empty())
            return true;
        if (rest[0] != ':')
            return false;
        portText = rest.substr(1);
        return !portText.empty();
    }
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        host = text;
    } else {
        if (text.find(':', colon + 1) != std::string::npos)
            return false;
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (portText.empty())
            return false;
    }
    return !host.empty();
}

// One server of a proxy list: [http://]host[:port][/].
bool ParseServer(std::string text, ProxyRoute& route) {
    const std::string scheme = TakeScheme(text);
    if (!scheme.empty() && scheme != "http")
        return false;
    if (text.find("://") != std::string::npos)
        return false;
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    std::string host, portText;
    if (!SplitHostPort(text, host, portText))
        return false;
    for (char c : host) {
        if (c == '/' || c == '@' || c == '=' || c == '[' || c == ']' ||
            static_cast<unsigned char>(c) < 0x21)
            return false;
    }
    uint16_t port = 80;
    if (!portText.empty() && !ParsePort(portText, port))
        return false;
    route.host = host;
    route.port = port;
    return true;
}

// Case-insensitive match of text against a pattern in which '*' stands for
// any run of characters (linear backtracking to the last star).
bool GlobMatch(const std::string& pattern, const std::string& text) {
    size_t p = 0, t = 0;
    size_t star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool BypassEntryMatches(std::string entry, const std::string& scheme, const std::string& host,
                        uint16_t port) {
    if (SameText(entry, "<local>"))
        return host.find('.') == std::string::npos && !host.empty();
    if (entry[0] == '<')
        return false;  // other keywords ("<-loopback>") name no host
    const std::string entryScheme = TakeScheme(entry);
    if (!entryScheme.empty() && entryScheme != scheme)
        return false;
    while (!entry.empty() && entry.back() == '/')
        entry.pop_back();
    std::string pattern = entry;
    std::string portText;
    // A trailing ":digits" (or ":*") is a port unless the colon belongs to an
    // IPv6 pattern written without brackets.
    const size_t colon = entry.rfind(':');
    if (!entry.empty() && entry[0] == '[') {
        if (!SplitHostPort(entry, pattern, portText))
            return false;
    } else if (colon != std::string::npos && entry.find(':') == colon) {
        pattern = entry.substr(0, colon);
        portText = entry.substr(colon + 1);
    }
    if (pattern.empty())
        return false;
    if (!portText.empty() && portText != "*") {
        uint16_t entryPort = 0;
        if (!ParsePort(portText, entryPort) || entryPort != port)
            return false;
    }
    return GlobMatch(pattern, host);
}

}  // namespace

std::string ProxyRoute::Text() const {
    const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return name + ":" + std::to_string(port);
}

ProxyRoute ProxyForScheme(const std::string& list, const std::string& scheme) {
    ProxyRoute any;
    bool haveAny = false;
    for (const std::string& entry : Entries(list, false)) {
        const size_t equals = entry.find('=');
        std::string entryScheme;
        std::string server = entry;
        if (equals != std::string::npos) {
            entryScheme = entry.substr(0, equals);
            for (char& c : entryScheme)
                c = Lower(c);
            server = entry.substr(equals + 1);
            if (entryScheme.empty())
                continue;
        }
        ProxyRoute route;
        if (!ParseServer(server, route))
            continue;
        if (entryScheme == scheme)
            return route;
        if (entryScheme.empty() && !haveAny) {
            any = route;
            haveAny = true;
        }
    }
    return any;
}

bool BypassesProxy(const std::string& bypass, const std::string& scheme, const std::string& host,
                   uint16_t port) {
    for (const std::string& entry : Entries(bypass, true)) {
        if (BypassEntryMatches(entry, scheme, host, port))
            return true;
    }
    return false;
}

ProxyRoute FixedProxyRoute(const ProxySettings& settings, const std::string& scheme,
                           const std::string& host, uint16_t port) {
    if (settings.proxy.empty() || BypassesProxy(settings.bypass, scheme, host, port))
        return ProxyRoute();
    return ProxyForScheme(settings.proxy, scheme);
}

bool IsPlainHostName(const std::string& host) {
    if (host.empty())
        return false;
    for (char c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == ':' || c == '[' || c == ']' || c == '%';
        if (!plain)
            return false;
    }
    return true;
}

std::string ProxyLookupUrl(const std::string& scheme, const std::string& host, uint16_t port,
                           const std::string& path) {
    std::string url = scheme + "://";
    url += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const uint16_t own = scheme == "https" ? 443 : 80;
    if (port != own)
        url += ":" + std::to_string(port);
    url += path.empty() || path[0] != '/' ? "/" + path : path;
    return url;
}

}  // namespace vorn
