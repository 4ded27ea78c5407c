#include "server_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vorn::test {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

const cJSON* Item(const cJSON* o, const std::string& dottedPath) {
    std::istringstream in(dottedPath);
    std::string part;
    while (o && std::getline(in, part, '.'))
        o = cJSON_GetObjectItemCaseSensitive(o, part.c_str());
    return o;
}

std::string Str(const cJSON* o, const std::string& dottedPath) {
    const cJSON* item = Item(o, dottedPath);
    return cJSON_IsString(item) ? item->valuestring : "";
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

ServicesServer::ServicesServer(const std::string& name)
    : dir_(std::string(VORN_TEST_TMP) + "/" + name) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

ServicesServer::~ServicesServer() {
    if (running())
        Stop();
}

bool ServicesServer::Start(const std::vector<std::string>& extraArgs) {
    httpsPort = FreePort();
    httpPort = FreePort();
    cafePort = FreePort();
    std::vector<std::string> args = {VORN_SERVICES_BIN,
                                     "--data",
                                     dir_,
                                     "--hosts",
                                     hosts,
                                     "--https-port",
                                     std::to_string(httpsPort),
                                     "--http-port",
                                     std::to_string(httpPort),
                                     "--cafe-port",
                                     std::to_string(cafePort)};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string log = dir_ + "/server.log";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0)
            dup2(fd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return false;
    pid_ = pid;
    for (int i = 0; i < 300; ++i) {
        if (std::filesystem::exists(dir_ + "/ready"))
            return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int ServicesServer::Stop() {
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 200 && done == 0; ++i) {
        done = waitpid(pid_, &status, WNOHANG);
        if (done == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<httplib::SSLClient> ServicesServer::Https(int port, bool verify) const {
    auto cli = std::make_unique<httplib::SSLClient>("127.0.0.1", port ? port : httpsPort);
    cli->set_ca_cert_path((dir_ + "/ca.pem").c_str());
    cli->enable_server_certificate_verification(verify);
    cli->set_connection_timeout(3, 0);
    cli->set_read_timeout(5, 0);
    return cli;
}

std::unique_ptr<httplib::Client> ServicesServer::Http() const {
    auto cli = std::make_unique<httplib::Client>("127.0.0.1", httpPort);
    cli->set_connection_timeout(3, 0);
    cli->set_read_timeout(5, 0);
    return cli;
}

std::vector<Json> ServicesServer::Records(const std::string& file) const {
    std::vector<Json> records;
    std::istringstream in(ReadFile(dir_ + "/" + file));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            records.emplace_back(cJSON_Parse(line.c_str()));
    return records;
}

}  // namespace vorn::test
