#include "ui/imageheader.h"

#include <cstring>

namespace TavroLib {
namespace {

uint32_t Be32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t Be16(const unsigned char* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
uint32_t Le16(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t Le32(const unsigned char* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

bool PeekJpeg(const unsigned char* data, size_t size, int& width, int& height) {
    size_t p = 2;
    while (p + 4 <= size) {
        if (data[p] != 0xFF)
            return false;
        const unsigned char marker = data[p + 1];
        if (marker == 0xFF) {  // fill byte
            ++p;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            p += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return false;  // no frame header before the scan
        const size_t length = Be16(data + p + 2);
        if (length < 2)
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || p + 9 > size)
                return false;
            height = static_cast<int>(Be16(data + p + 5));
            width = static_cast<int>(Be16(data + p + 7));
            return true;
        }
        p += 2 + length;
    }
    return false;
}

}  // namespace

bool ImageSizeWithinBounds(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool PeekImageSize(const unsigned char* data, size_t size, int& width, int& height) {
    if (data == nullptr)
        return false;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    int64_t w = -1, h = -1;
    if (size >= 24 && std::memcmp(data, kPng, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0) {
        w = Be32(data + 16);
        h = Be32(data + 20);
    } else if (size >= 10 && std::memcmp(data, "GIF8", 4) == 0) {
        w = Le16(data + 6);
        h = Le16(data + 8);
    } else if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
        const uint32_t header = Le32(data + 14);
        if (header == 12) {
            w = Le16(data + 18);
            h = Le16(data + 20);
        } else if (header >= 40) {
            w = static_cast<int32_t>(Le32(data + 18));
            h = static_cast<int32_t>(Le32(data + 22));
            if (h < 0)
                h = -h;  // top-down bitmap
        } else {
            return false;
        }
    } else if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) {
        int jw = 0, jh = 0;
        if (!PeekJpeg(data, size, jw, jh))
            return false;
        w = jw;
        h = jh;
    } else {
        return false;
    }
    if (w < 0 || h < 0 || w > INT32_MAX || h > INT32_MAX)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace TavroLib
