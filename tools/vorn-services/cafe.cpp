#include "cafe.h"

#include <cerrno>
#include <cstdlib>

namespace vorn::svc {
namespace {

bool ParseConstant(const std::string& text, uint32_t* value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-')
        return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

bool ParseCafeKey(const std::string& text, CafeKey* key) {
    size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    uint32_t low = 0, high = 0;
    if (!ParseConstant(text.substr(0, comma), &low) ||
        !ParseConstant(text.substr(comma + 1), &high))
        return false;
    for (int i = 0; i < 4; ++i) {
        (*key)[i] = static_cast<uint8_t>(low >> (8 * i));
        (*key)[4 + i] = static_cast<uint8_t>(high >> (8 * i));
    }
    return true;
}

std::string ScrambleCafe(const std::string& bytes, const CafeKey& key) {
    std::string out = bytes;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ key[i % 8]);
    return out;
}

std::string Base64Encode(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                     (static_cast<uint8_t>(bytes[i + 1]) << 8) | static_cast<uint8_t>(bytes[i + 2]);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (rest == 2)
            v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string CafeAnswer(const std::string& document, const CafeKey& key) {
    return "CXR_LOC_JSONP({\"data\":\"" + Base64Encode(ScrambleCafe(document, key)) + "\"})";
}

}  // namespace vorn::svc
