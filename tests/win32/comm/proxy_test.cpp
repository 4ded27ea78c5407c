// The user's proxy: the proxy and bypass lists read as WinHTTP reads them, the
// settings Windows hands over for what Internet Options stores, a script's
// choice through WinHTTP, and attempts through proxies that answer, refuse,
// ask for credentials or cannot be reached. The whole road through a real
// proxy (squid) is in the end-to-end scenarios proxy_*.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <thread>

#include "comm/httplibproxy.h"
#include "comm/httplibrequest.h"
#include "comm/proxyconfig.h"
#include "comm/proxyresolver.h"
#include "installer/buildconfig.h"
#include "services/servicetest.h"
#include "util/string_util.h"
#include "util/win_handle.h"

using namespace vorn;
using namespace vorn::test;

namespace {

const char* const kHost = VORN_HOST_CLIENT_VERSION;
const wchar_t kSettingsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

std::string RouteText(const ProxyRoute& route) {
    return route.Direct() ? std::string("direct") : route.Text();
}

TEST(ProxyConfig, ServerForScheme) {
    const struct {
        const char* list;
        const char* scheme;
        const char* route;
    } cases[] = {
        {"proxy:3128", "https", "proxy:3128"},
        {"proxy", "http", "proxy:80"},
        {"http=a:1;https=b:2", "https", "b:2"},
        {"http=a:1;https=b:2", "http", "a:1"},
        {"http=a:1", "https", "direct"},  // a list per scheme names none for https
        {"a:1 HTTPS=b:2", "https", "b:2"},
        {"a:1 HTTPS=b:2", "http", "a:1"},
        {"a:1;b:2", "http", "a:1"},
        {"http://a:8080/", "https", "a:8080"},
        {"https://a:8443", "https", "direct"},  // TLS to the proxy: not ours
        {"socks=s:1080", "http", "direct"},
        {"socks=s:1080;x:3", "http", "x:3"},
        {"[::1]:3128", "http", "[::1]:3128"},
        {"a:0;b:70000;c:x;d:;user:pw@e:1;f:9", "http", "f:9"},
        {"=a:1;http=", "http", "direct"},
        {" ;; \t", "http", "direct"},
        {"", "https", "direct"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RouteText(ProxyForScheme(c.list, c.scheme)), c.route)
            << c.list << " for " << c.scheme;
    }
}

TEST(ProxyConfig, BypassList) {
    const struct {
        const char* bypass;
        const char* scheme;
        const char* host;
        uint16_t port;
        bool bypassed;
    } cases[] = {
        {"<local>", "https", "intranet", 443, true},
        {"<LOCAL>", "https", "a.example.com", 443, false},
        {"*.example.com", "https", "dl.example.com", 443, true},
        {"*.example.com", "https", "example.com", 443, false},
        {"example.com", "https", "www.example.com", 443, false},
        {"EXAMPLE.com", "https", "example.COM", 443, true},
        {"10.*", "http", "10.1.2.3", 80, true},
        {"ex*le.c*m", "http", "example.com", 80, true},
        {"*", "http", "anything", 80, true},
        {"*.example.com:9186", "https", "bar.example.com", 9186, true},
        {"*.example.com:9186", "https", "bar.example.com", 443, false},
        {"https://*.example.com", "http", "a.example.com", 80, false},
        {"https://*.example.com", "https", "a.example.com", 443, true},
        {"a.com;b.com, c.com", "http", "c.com", 80, true},
        {"<-loopback>;;", "http", "localhost", 80, false},
        {"", "http", "localhost", 80, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BypassesProxy(c.bypass, c.scheme, c.host, c.port), c.bypassed)
            << c.bypass << " for " << c.scheme << "://" << c.host << ":" << c.port;
    }
}

TEST(ProxyConfig, FixedRouteAndLookupAddress) {
    ProxySettings settings;
    settings.proxy = "p:1";
    settings.bypass = "*.b";
    EXPECT_TRUE(FixedProxyRoute(settings, "https", "x.b", 443).Direct());
    EXPECT_EQ(RouteText(FixedProxyRoute(settings, "https", "x.c", 443)), "p:1");
    settings.proxy.clear();
    EXPECT_TRUE(FixedProxyRoute(settings, "https", "x.c", 443).Direct());

    EXPECT_EQ(ProxyLookupUrl("https", "h", 443, "/p?q=1"), "https://h/p?q=1");
    EXPECT_EQ(ProxyLookupUrl("https", "h", 9186, "/CXBasicInfo"), "https://h:9186/CXBasicInfo");
    EXPECT_EQ(ProxyLookupUrl("http", "h", 80, ""), "http://h/");

    EXPECT_TRUE(IsPlainHostName("dl.example.com"));
    EXPECT_TRUE(IsPlainHostName("host:8080"));
    EXPECT_FALSE(IsPlainHostName("a.com\r\nX-Evil: 1"));
    EXPECT_FALSE(IsPlainHostName("a b"));
    EXPECT_FALSE(IsPlainHostName(""));
}

// DefaultConnectionSettings as Internet Options writes it: version 0x46, a
// counter, the flags (1 direct, 2 proxy, 4 script, 8 detect), then the proxy,
// bypass and script strings after their lengths, and zeros.
std::string ConnectionSettings(uint32_t flags, const std::string& proxy, const std::string& bypass,
                               const std::string& script) {
    std::string blob;
    auto put = [&blob](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            blob += static_cast<char>(v >> (8 * i));
    };
    put(0x46);
    put(7);
    put(flags);
    for (const std::string* text : {&proxy, &bypass, &script}) {
        put(static_cast<uint32_t>(text->size()));
        blob += *text;
    }
    return blob + std::string(32, '\0');
}

bool StoreConnectionSettings(const std::string* blob) {
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key.Receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (blob == nullptr) {
        const LONG rc = ::RegDeleteValueW(key.Get(), L"DefaultConnectionSettings");
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExW(key.Get(), L"DefaultConnectionSettings", 0, REG_BINARY,
                            reinterpret_cast<const BYTE*>(blob->data()),
                            static_cast<DWORD>(blob->size())) == ERROR_SUCCESS;
}

TEST(ProxySettings, ReadThroughWinHttpAsInternetOptionsStoresThem) {
    // Nothing stored: Windows' default, "Automatically detect settings".
    ASSERT_TRUE(StoreConnectionSettings(nullptr));
    ProxySettings none = ReadUserProxySettings();
    EXPECT_TRUE(none.autoDetect);
    EXPECT_EQ(none.proxy + none.bypass + none.scriptUrl, "");

    const struct {
        uint32_t flags;
        const char *proxy, *bypass, *script;
        bool detect;
        const char *wantProxy, *wantBypass, *wantScript;
    } cases[] = {
        {1, "", "", "", false, "", "", ""},
        {3, "127.0.0.1:3128", "<local>;*.corp", "", false, "127.0.0.1:3128", "<local>;*.corp", ""},
        // The server is kept while "Use a proxy server" is off, and not used.
        {1, "127.0.0.1:3128", "<local>", "", false, "", "", ""},
        {11, "http=a:1;https=b:2", "", "", true, "http=a:1;https=b:2", "", ""},
        {13, "", "", "http://wpad/proxy.pac", true, "", "", "http://wpad/proxy.pac"},
    };
    for (const auto& c : cases) {
        const std::string blob = ConnectionSettings(c.flags, c.proxy, c.bypass, c.script);
        ASSERT_TRUE(StoreConnectionSettings(&blob));
        const ProxySettings s = ReadUserProxySettings();
        EXPECT_EQ(s.autoDetect, c.detect) << "flags " << c.flags;
        EXPECT_EQ(s.proxy, c.wantProxy) << "flags " << c.flags;
        EXPECT_EQ(s.bypass, c.wantBypass) << "flags " << c.flags;
        EXPECT_EQ(s.scriptUrl, c.wantScript) << "flags " << c.flags;
    }
    ASSERT_TRUE(StoreConnectionSettings(nullptr));
}

class ProxyResolverTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Services::Available()) << "run through with-services.sh"; }
    LogCapture log;
};

TEST_F(ProxyResolverTest, WindowsDefaultDetectsNothingAndGoesDirect) {
    ProxySettings settings;
    settings.autoDetect = true;
    ProxyResolver resolver(settings);
    EXPECT_TRUE(resolver.Route("https", kHost, 443, "/").Direct());
    EXPECT_TRUE(resolver.Route("http", kHost, 80, "/").Direct());
    // Nothing detected, the fixed settings decide.
    settings.proxy = "fixed:1";
    ProxyResolver fixed(settings);
    EXPECT_EQ(RouteText(fixed.Route("https", kHost, 443, "/")), "fixed:1");
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ProxyResolverTest, ScriptDecidesPerAddress) {
    ASSERT_TRUE(Services::Write(
        L"files\\proxy.pac",
        "function FindProxyForURL(url, host) {\n"
        "  if (host == \"" VORN_HOST_CAFE
        "\") return \"DIRECT\";\n"
        "  if (url.substring(0, 6) == \"https:\") return \"PROXY 127.0.0.1:3128; PROXY "
        "127.0.0.2:3129\";\n"
        "  return \"PROXY 127.0.0.1:3130\";\n"
        "}\n"));
    ProxySettings settings;
    settings.scriptUrl = "http://127.0.0.1/proxy.pac";
    settings.proxy = "fixed:1";
    ProxyResolver resolver(settings);
    EXPECT_EQ(RouteText(resolver.Route("https", kHost, 443, "/x")), "127.0.0.1:3128");
    EXPECT_EQ(RouteText(resolver.Route("http", kHost, 80, "/x")), "127.0.0.1:3130");
    EXPECT_TRUE(resolver.Route("https", VORN_HOST_CAFE, 9186, "/CXBasicInfo").Direct());
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ProxyResolverTest, UnusableScriptLeavesTheFixedSettings) {
    ProxySettings settings;
    settings.scriptUrl = "http://127.0.0.1/missing.pac";
    settings.proxy = "fixed:1";
    settings.bypass = VORN_HOST_CAFE;
    ProxyResolver resolver(settings);
    EXPECT_EQ(RouteText(resolver.Route("https", kHost, 443, "/")), "fixed:1");
    EXPECT_TRUE(resolver.Route("https", VORN_HOST_CAFE, 9186, "/").Direct());
    // Said once, not at every request.
    size_t lines = 0;
    for (const std::wstring& line : log.Lines()) {
        if (line.rfind(L"[Error]| proxy script http://127.0.0.1/missing.pac not usable (", 0) == 0)
            ++lines;
    }
    EXPECT_EQ(lines, 1u);
}

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Invalid() { return INVALID_SOCKET; }
    static bool Valid(Handle h) { return h != INVALID_SOCKET; }
    static void Close(Handle h) { ::closesocket(h); }
};
using UniqueSocket = ScopedHandle<SocketTraits>;

// Copies what either side sends to the other until one of them closes.
void Relay(SOCKET a, SOCKET b) {
    char buffer[16384];
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(a, &readable);
        FD_SET(b, &readable);
        timeval wait = {10, 0};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            return;
        for (SOCKET from : {a, b}) {
            if (!FD_ISSET(from, &readable))
                continue;
            const int n = ::recv(from, buffer, sizeof buffer, 0);
            if (n <= 0 || ::send(from == a ? b : a, buffer, n, 0) != n)
                return;
        }
    }
}

// A proxy for one connection: it records the head of what it was sent and
// answers with a fixed reply (none: it closes at once); given a port, it then
// relays between the client and that port of this machine, a tunnel.
class CannedProxy {
  public:
    explicit CannedProxy(std::string reply, uint16_t tunnelPort = 0) {
        listener_.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (!listener_ ||
            ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_.Get(), 1) != 0 ||
            ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, reply, tunnelPort] {
            UniqueSocket peer(::accept(listener_.Get(), nullptr, nullptr));
            if (!peer)
                return;
            char c = 0;
            while (request_.find("\r\n\r\n") == std::string::npos &&
                   ::recv(peer.Get(), &c, 1, 0) == 1) {
                request_ += c;
            }
            UniqueSocket server;
            if (tunnelPort != 0) {
                sockaddr_in to = {};
                to.sin_family = AF_INET;
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                to.sin_port = htons(tunnelPort);
                server.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
                if (!server ||
                    ::connect(server.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
                    return;
            }
            if (!reply.empty())
                ::send(peer.Get(), reply.data(), static_cast<int>(reply.size()), 0);
            if (server)
                Relay(peer.Get(), server.Get());
            ::shutdown(peer.Get(), SD_BOTH);
        });
    }
    ~CannedProxy() { Finish(); }
    uint16_t Port() const { return port_; }
    // What came in, once the exchange is over.
    const std::string& Request() {
        Finish();
        return request_;
    }

  private:
    void Finish() {
        listener_.Reset();
        if (thread_.joinable())
            thread_.join();
    }

    UniqueSocket listener_;
    uint16_t port_ = 0;
    std::string request_;
    std::thread thread_;
};

class ProxiedAttemptTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Services::Available()) << "run through with-services.sh";
        ASSERT_TRUE(Services::ClearFaults());
        from = Services::RecordCount(L"requests.jsonl");
    }
    // One HTTPS GET through the route; whether the server answered.
    static bool TunnelledGet(const ProxyRoute& route) {
        ProxiedAttempt attempt(true, kHost, 443, route);
        const std::unique_ptr<httplib::SSLClient> client = attempt.MakeSslClient();
        ApplyTransportSettings(*client);
        client->enable_server_certificate_verification(false);
        const httplib::Result result = client->Get("/t/tunnel");
        return attempt.Answered(static_cast<bool>(result), result.error());
    }
    LogCapture log;
    size_t from = 0;
};

TEST_F(ProxiedAttemptTest, ProxyRepliesToConnect) {
    const std::string target = std::string(kHost) + ":443";
    const std::wstring wideTarget = Utf8ToWide(target);
    const std::string forbidden = "HTTP/1.1 403 Forbidden\r\nContent-Length: 4\r\n";
    const struct {
        std::string reply;
        std::wstring line;  // after " proxy HOST:PORT"; empty: none
    } cases[] = {
        // The library's own CONNECT hangs for good on this one.
        {forbidden + "Connection: close\r\n\r\nnope",
         L" refused CONNECT " + wideTarget + L" (403)"},
        {forbidden + "\r\nnope", L" refused CONNECT " + wideTarget + L" (403)"},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
         "realm=\"p\"\r\nContent-Length: 0\r\n\r\n",
         L" asks for authentication (407)"},
        {"HTTP/1.1 200 Connection", L" gave no answer to CONNECT " + wideTarget},  // cut off
        {"", L" gave no answer to CONNECT " + wideTarget},
        // A tunnel, then no TLS server behind it: a failed attempt like any other.
        {"HTTP/1.0 200 OK\r\n\r\n", L""},
    };
    for (const auto& c : cases) {
        LogCapture caseLog;
        CannedProxy proxy(c.reply);
        ASSERT_NE(proxy.Port(), 0);
        ProxyRoute route;
        route.host = "127.0.0.1";
        route.port = proxy.Port();
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_FALSE(TunnelledGet(route)) << c.reply;
        EXPECT_LT(::GetTickCount64() - start, 4000u) << c.reply;
        EXPECT_EQ(proxy.Request(),
                  "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n");
        std::vector<std::wstring> lines;
        for (const std::wstring& line : caseLog.Lines()) {
            if (line.find(L"proxy") != std::wstring::npos)
                lines.push_back(line);
        }
        std::vector<std::wstring> want;
        if (!c.line.empty())
            want.push_back(L"[Error]| proxy " + Utf8ToWide(route.Text()) + c.line);
        EXPECT_EQ(lines, want) << c.reply;
    }
}

TEST_F(ProxiedAttemptTest, TunnelKeepsTheCertificateCheck) {
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"/t/tunnel\",\"scheme\":\"https\",\"status\":200,\"body\":\"tunnelled\"}"));
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    // The services' CA as the bundle: the server's certificate passes.
    ASSERT_TRUE(log.InstallCa());
    {
        CannedProxy proxy(established, 443);
        ProxiedAttempt attempt(true, kHost, 443, ProxyRoute{"127.0.0.1", proxy.Port()});
        const std::unique_ptr<httplib::SSLClient> client = attempt.MakeSslClient();
        ASSERT_TRUE(ApplyCaBundle(*client));
        ApplyTransportSettings(*client);
        const httplib::Result result = client->Get("/t/tunnel");
        ASSERT_TRUE(attempt.Answered(static_cast<bool>(result), result.error()));
        EXPECT_EQ(result->body, "tunnelled");
    }
    // Roots without the services' CA: the same tunnel, and the chain fails.
    {
        CannedProxy proxy(established, 443);
        ProxiedAttempt attempt(true, kHost, 443, ProxyRoute{"127.0.0.1", proxy.Port()});
        const std::unique_ptr<httplib::SSLClient> client = attempt.MakeSslClient();
        client->set_ca_cert_path(Arg("ca-bundle").c_str());
        client->enable_server_certificate_verification(true);
        ApplyTransportSettings(*client);
        const httplib::Result result = client->Get("/t/tunnel");
        EXPECT_FALSE(attempt.Answered(static_cast<bool>(result), result.error()));
        EXPECT_EQ(result.error(), httplib::Error::SSLServerVerification);
    }
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(JsonText(records[0].get(), "scheme"), "https");
    EXPECT_EQ(JsonText(records[0].get(), "target"), "/t/tunnel");
}

TEST_F(ProxiedAttemptTest, UnreachableProxy) {
    ProxyRoute route;
    route.host = "127.0.0.1";
    route.port = 9;  // nothing listens there
    EXPECT_FALSE(TunnelledGet(route));
    EXPECT_TRUE(log.Has(L"[Error]| proxy 127.0.0.1:9 unreachable"));
    ProxiedAttempt plain(false, kHost, 80, route);
    const std::unique_ptr<httplib::ClientImpl> client = plain.MakePlainClient();
    ApplyTransportSettings(*client);
    const httplib::Result result = client->Get("/t/plain");
    EXPECT_FALSE(plain.Answered(static_cast<bool>(result), result.error()));
    EXPECT_EQ(log.Count(L"[Error]| proxy 127.0.0.1:9 unreachable"), 2u);
}

// vorn-services on its http port stands in for the proxy of plain requests: it
// records the request line's target as sent.
TEST_F(ProxiedAttemptTest, PlainRequestsInAbsoluteForm) {
    ProxyRoute route;
    route.host = "127.0.0.1";
    route.port = 80;
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"*\",\"scheme\":\"http\",\"status\":200,\"body\":\"via-proxy\",\"times\":1}"));
    {
        ProxiedAttempt attempt(false, kHost, 80, route);
        const std::unique_ptr<httplib::ClientImpl> client = attempt.MakePlainClient();
        ApplyTransportSettings(*client);
        const httplib::Result result = client->Post("/t/abs", "{}", "application/json");
        ASSERT_TRUE(attempt.Answered(static_cast<bool>(result), result.error()));
        EXPECT_EQ(result->body, "via-proxy");
    }
    // The proxy's own 407 ends the attempt before its body: no answer.
    ASSERT_TRUE(Services::AddFault(
        "{\"path\":\"*\",\"scheme\":\"http\",\"status\":407,\"body\":\"login first\"}"));
    {
        ProxiedAttempt attempt(false, kHost, 80, route);
        const std::unique_ptr<httplib::ClientImpl> client = attempt.MakePlainClient();
        ApplyTransportSettings(*client);
        std::string body;
        const httplib::Result result = client->Get(
            "/t/auth", [&attempt](const httplib::Response& r) { return attempt.TakeResponse(r); },
            [&body](const char* data, size_t n) {
                body.append(data, n);
                return true;
            });
        EXPECT_FALSE(attempt.Answered(static_cast<bool>(result), result.error()));
        EXPECT_EQ(body, "");
        EXPECT_TRUE(log.Has(L"[Error]| proxy 127.0.0.1:80 asks for authentication (407)"));
    }
    const auto records = Services::Records(L"requests.jsonl", from);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(JsonText(records[0].get(), "target"), std::string("http://") + kHost + ":80/t/abs");
    EXPECT_EQ(JsonText(records[0].get(), "host"), kHost);
    EXPECT_EQ(JsonText(records[1].get(), "target"), std::string("http://") + kHost + ":80/t/auth");
}

}  // namespace
