// The download address split: host and path are the URL's tail after the
// scheme marker, the host holds no "/", the path starts with one.
#include <cstdint>
#include <string>

#include "comm/urlsplit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    std::string host = "unchanged", path = "unchanged";
    if (!vorn::SplitUrl(url, host, path)) {
        if (host != "unchanged" || path != "unchanged" ||
            url.find("http://") != std::string::npos || url.find("https://") != std::string::npos)
            __builtin_trap();
        return 0;
    }
    const std::string tail = host + path;
    if (host.find('/') != std::string::npos || (!path.empty() && path[0] != '/'))
        __builtin_trap();
    if (url.size() < tail.size() || url.compare(url.size() - tail.size(), tail.size(), tail) != 0)
        __builtin_trap();
    return 0;
}
