// vorn-services: the vendor's services (client version, cafe information,
// event reports, package and agreement downloads) on one machine, so the
// installer can be run and tested against them. See README.md.
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cafe.h"
#include "certificates.h"
#include "service.h"

using namespace vorn::svc;

namespace {

struct Options {
    std::string dataDir;
    std::vector<std::string> hosts;
    std::string bind = "127.0.0.1";
    int httpsPort = 443;
    int httpPort = 80;
    int cafePort = 9186;
    std::string cafeKey = "0x5A3C9E17,0xC4D2816B";
    int ansiCodepage = 1252;
    std::string downloadHost;
    TlsMode tls = TlsMode::Normal;
    bool noHttps = false;
};

const char kUsage[] =
    "usage: vorn-services --data DIR --hosts \"NAME1 NAME2 ...\" [--bind 127.0.0.1]\n"
    "         [--https-port 443] [--http-port 80] [--cafe-port 9186]\n"
    "         [--cafe-key 0x5A3C9E17,0xC4D2816B] [--ansi-codepage 1252] [--download-host NAME]\n"
    "         [--tls normal|other-host|self-signed] [--no-https]\n";

bool ParseInt(const std::string& text, int low, int high, int* out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high)
        return false;
    *out = static_cast<int>(v);
    return true;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (arg == "--no-https") {
            o->noHttps = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            *error = "";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                *error = "missing value for " + arg;
                return false;
            }
            value = argv[++i];
        }
        bool ok = true;
        if (arg == "--data")
            o->dataDir = value;
        else if (arg == "--hosts")
            o->hosts = SplitWords(value);
        else if (arg == "--bind")
            o->bind = value;
        else if (arg == "--https-port")
            ok = ParseInt(value, 1, 65535, &o->httpsPort);
        else if (arg == "--http-port")
            ok = ParseInt(value, 1, 65535, &o->httpPort);
        else if (arg == "--cafe-port")
            ok = ParseInt(value, 1, 65535, &o->cafePort);
        else if (arg == "--cafe-key")
            o->cafeKey = value;
        else if (arg == "--ansi-codepage")
            ok = ParseInt(value, 1, 65535, &o->ansiCodepage);
        else if (arg == "--download-host")
            o->downloadHost = value;
        else if (arg == "--tls")
            ok = ParseTlsMode(value, &o->tls);
        else {
            *error = "unknown option " + arg;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + arg + ": " + value;
            return false;
        }
    }
    if (o->dataDir.empty()) {
        *error = "--data is required";
        return false;
    }
    if (o->hosts.empty()) {
        *error = "--hosts is required";
        return false;
    }
    if (o->downloadHost.empty()) {
        // The package host by its usual name, else the first one.
        o->downloadHost = o->hosts.front();
        for (const std::string& h : o->hosts)
            if (h.rfind("dl.", 0) == 0) {
                o->downloadHost = h;
                break;
            }
    }
    return true;
}

// Plain SO_REUSEADDR: a port that is already taken must fail, not be shared.
void SocketOptions(socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

void Configure(httplib::Server& server) {
    // Held (silent, delayed) requests must not starve the others.
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_socket_options(SocketOptions);
    server.set_read_timeout(10, 0);
    server.set_write_timeout(10, 0);
    server.set_payload_max_length(64 * 1024 * 1024);
}

struct Running {
    std::string name;
    int port;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
};

bool WriteReady(const std::string& dir) {
    const std::string tmp = dir + "/ready.tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "%ld\n", static_cast<long>(getpid()));
    if (std::fclose(f) != 0)
        return false;
    return std::rename(tmp.c_str(), (dir + "/ready").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        if (!error.empty())
            std::fprintf(stderr, "vorn-services: %s\n", error.c_str());
        std::fputs(kUsage, stderr);
        return error.empty() ? 0 : 2;
    }
    CafeKey cafeKey{};
    if (!ParseCafeKey(options.cafeKey, &cafeKey)) {
        std::fprintf(stderr, "vorn-services: bad --cafe-key %s\n", options.cafeKey.c_str());
        return 2;
    }
    mkdir(options.dataDir.c_str(), 0755);
    mkdir((options.dataDir + "/files").c_str(), 0755);
    std::remove((options.dataDir + "/ready").c_str());

    // Signals are taken by sigwait below; every thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    CertAndKey ca, server;
    if (!LoadOrCreateCa(options.dataDir, &ca, &error) ||
        !IssueServerCertificate(ca, options.hosts, options.tls, &server, &error)) {
        std::fprintf(stderr, "vorn-services: %s\n", error.c_str());
        return 1;
    }
    // The certificate in use, for whoever wants to look at it.
    if (std::FILE* f = std::fopen((options.dataDir + "/server.pem").c_str(), "w")) {
        const std::string pem = CertificateToPem(server.cert.get());
        std::fwrite(pem.data(), 1, pem.size(), f);
        std::fclose(f);
    }

    ServiceConfig config;
    config.dataDir = options.dataDir;
    config.downloadHost = options.downloadHost;
    config.cafeKey = cafeKey;
    config.ansiCodepage = options.ansiCodepage;
    Service service(config);
    if (!service.LoadFaultFile(&error)) {
        std::fprintf(stderr, "vorn-services: %s\n", error.c_str());
        return 1;
    }

    std::vector<Running> running;
    auto add = [&](const std::string& name, int port, std::unique_ptr<httplib::Server> s,
                   const Listener& listener) {
        Configure(*s);
        service.Attach(*s, listener);
        running.push_back(Running{name, port, std::move(s), {}});
    };
    auto tlsServer = [&]() {
        return std::make_unique<httplib::SSLServer>(server.cert.get(), server.key.get());
    };
    if (!options.noHttps)
        add("https", options.httpsPort, tlsServer(), {"https", options.httpsPort, false, false});
    add("http", options.httpPort, std::make_unique<httplib::Server>(),
        {"http", options.httpPort, false, true});
    add("cafe", options.cafePort, tlsServer(), {"https", options.cafePort, true, false});

    for (Running& r : running) {
        if (!r.server->is_valid()) {
            std::fprintf(stderr, "vorn-services: TLS set-up failed for the %s port\n",
                         r.name.c_str());
            return 1;
        }
        if (!r.server->bind_to_port(options.bind.c_str(), r.port)) {
            std::fprintf(stderr, "vorn-services: cannot listen on %s:%d (%s)\n",
                         options.bind.c_str(), r.port, r.name.c_str());
            return 1;
        }
    }
    for (Running& r : running) {
        httplib::Server* s = r.server.get();
        r.thread = std::thread([s] { s->listen_after_bind(); });
    }
    for (Running& r : running)
        for (int i = 0; i < 500 && !r.server->is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));

    if (!WriteReady(options.dataDir)) {
        std::fprintf(stderr, "vorn-services: cannot write %s/ready\n", options.dataDir.c_str());
    } else {
        std::string ports;
        for (const Running& r : running)
            ports += " " + r.name + "=" + std::to_string(r.port);
        LogLine("ready on " + options.bind + ports + ", packages from " + options.downloadHost);
    }

    int stopSignal = 0;
    bool listenerDied = false;
    while (stopSignal <= 0 && !listenerDied) {
        timespec tick{0, 200 * 1000 * 1000};
        stopSignal = sigtimedwait(&signals, nullptr, &tick);
        for (const Running& r : running)
            if (!r.server->is_running())
                listenerDied = true;
    }
    LogLine(listenerDied ? "a listener stopped unexpectedly"
                         : std::string("stopping on ") + strsignal(stopSignal));

    service.Stop();
    for (Running& r : running)
        r.server->stop();
    for (Running& r : running)
        if (r.thread.joinable())
            r.thread.join();
    std::remove((options.dataDir + "/ready").c_str());
    LogLine("stopped");
    return listenerDied ? 1 : 0;
}
