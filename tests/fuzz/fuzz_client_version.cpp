// The client-version answer: CRLF split, the JSON reader, the decimal fields.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "installer/serviceanswers.h"

namespace {

// The decimal conversion against the C library's: same digits, same saturation.
void CheckDecimal(const std::string& text) {
    int64_t value = 0;
    const bool ok = vorn::ParseDecimalPrefix(text, value);
    const std::string c = text.substr(0, text.find('\0'));
    // strtoll also takes a prefix of "0x" as "0"; both read the same decimal prefix here.
    errno = 0;
    char* end = nullptr;
    const long long expected = std::strtoll(c.c_str(), &end, 10);
    const bool cOk = end != c.c_str();
    if (ok != cOk && c.size() == text.size())
        __builtin_trap();
    if (ok && cOk && c.size() == text.size() && value != expected)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vorn::ClientVersionAnswer answer;
    const vorn::ClientVersionStatus status = vorn::ParseClientVersionAnswer(text, answer);
    if (status == vorn::ClientVersionStatus::Ok && answer.downloadUrl.empty())
        __builtin_trap();
    CheckDecimal(text);
    return 0;
}
