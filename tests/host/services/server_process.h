// Starts the real vorn-services on loopback with ports of its own and talks to it.
#pragma once

#include <cjson/cJSON.h>
#include <httplib.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace vorn::test {

struct JsonFree {
    void operator()(cJSON* p) const { cJSON_Delete(p); }
};
using Json = std::unique_ptr<cJSON, JsonFree>;

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
int FreePort();
// A string member of a JSON object, walking a dotted path ("data.crc"); empty if absent.
std::string Str(const cJSON* o, const std::string& dottedPath);
const cJSON* Item(const cJSON* o, const std::string& dottedPath);
std::string Hex(const std::string& bytes);

class ServicesServer {
  public:
    // A fresh data folder named after the test.
    explicit ServicesServer(const std::string& name);
    ~ServicesServer();

    const std::string& dir() const { return dir_; }
    void Put(const std::string& relative, const std::string& data) {
        WriteFile(dir_ + "/" + relative, data);
    }

    // Picks free ports, starts the program and waits for DATA/ready.
    bool Start(const std::vector<std::string>& extraArgs = {});
    // SIGTERM; the exit status, or -1 if it had to be killed or died of a signal.
    int Stop();
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    std::unique_ptr<httplib::SSLClient> Https(int port = 0, bool verify = true) const;
    std::unique_ptr<httplib::Client> Http() const;
    std::vector<Json> Records(const std::string& file) const;  // a .jsonl file of the data folder

    std::string hosts = "api.velto.test dl.velto.test";
    int httpsPort = 0, httpPort = 0, cafePort = 0;

  private:
    std::string dir_;
    pid_t pid_ = -1;
};

}  // namespace vorn::test
