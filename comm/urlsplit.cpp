#include "comm/urlsplit.h"

namespace vorn {

bool SplitUrl(const std::string& url, std::string& host, std::string& path) {
    static const char kHttps[] = "https://";
    static const char kHttp[] = "http://";
    size_t rest = url.find(kHttps);
    if (rest != std::string::npos) {
        rest += sizeof(kHttps) - 1;
    } else {
        rest = url.find(kHttp);
        if (rest == std::string::npos)
            return false;
        rest += sizeof(kHttp) - 1;
    }
    const size_t slash = url.find('/', rest);
    if (slash == std::string::npos) {
        host = url.substr(rest);
        path.clear();
    } else {
        host = url.substr(rest, slash - rest);
        path = url.substr(slash);
    }
    return true;
}

}  // namespace vorn
