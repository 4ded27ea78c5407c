#include "codepage.h"

#include <iconv.h>

#include <cerrno>

namespace vorn::svc {
namespace {

std::string IconvName(int codepage) {
    if (codepage == 65001)
        return "UTF-8";
    return "CP" + std::to_string(codepage);
}

const char kReplacement[] = "\xEF\xBF\xBD";

// Converts with iconv; an unconvertible byte is handed to onBad, which appends
// its substitute (or returns false to give up), and conversion resumes after it.
template <typename OnBad>
bool Convert(const std::string& in, const std::string& from, const std::string& to,
             std::string* out, OnBad onBad) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out->clear();
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out->append(buffer, dst - buffer);
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (a sequence cut off at the end): skip one byte.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (!onBad(static_cast<unsigned char>(*src), out)) {
            ok = false;
            break;
        }
        ++src;
        --srcLeft;
    }
    // Flush any shift state.
    char* dst = buffer;
    size_t dstLeft = sizeof(buffer);
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out->append(buffer, dst - buffer);
    iconv_close(cd);
    return ok;
}

void AppendUtf8(unsigned code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::string CodepageToUtf8(const std::string& bytes, int codepage, bool* exact) {
    std::string out;
    bool allGood = true;
    bool opened =
        Convert(bytes, IconvName(codepage), "UTF-8", &out, [&](unsigned char b, std::string* o) {
            if (codepage == 1252 &&
                (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)) {
                AppendUtf8(b, o);
                return true;
            }
            allGood = false;
            o->append(kReplacement);
            return true;
        });
    if (!opened) {
        // Unknown code page: keep the bytes readable at least.
        allGood = false;
        out = SanitizeUtf8(bytes);
    }
    if (exact)
        *exact = allGood;
    return out;
}

bool Utf8ToCodepage(const std::string& text, int codepage, std::string* out) {
    return Convert(text, "UTF-8", IconvName(codepage), out,
                   [](unsigned char, std::string*) { return false; });
}

std::string SanitizeUtf8(const std::string& bytes) {
    std::string out;
    Convert(bytes, "UTF-8", "UTF-8", &out, [](unsigned char, std::string* o) {
        o->append(kReplacement);
        return true;
    });
    return out;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

bool FromHex(const std::string& hex, std::string* bytes) {
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0)
        return false;
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    *bytes = std::move(out);
    return true;
}

}  // namespace vorn::svc
