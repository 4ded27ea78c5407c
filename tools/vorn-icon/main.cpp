// vorn-icon: builds a Windows icon file from one square RGBA PNG.
//   vorn-icon IN.png OUT.ico
// The 256-pixel image is stored as PNG, the smaller ones (128, 64, 48, 32, 16)
// as 32-bit DIBs with an AND mask, each scaled down with an area filter.
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

struct Image {
    int size = 0;
    std::vector<uint8_t> rgba;  // size * size * 4, rows top down
};

bool ReadPng(const char* path, Image& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path))
        return false;
    png.format = PNG_FORMAT_RGBA;
    if (png.width != png.height || png.width < 16) {
        png_image_free(&png);
        std::fprintf(stderr, "vorn-icon: the image must be square, at least 16 pixels\n");
        return false;
    }
    image.size = static_cast<int>(png.width);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr))
        return false;
    return true;
}

bool EncodePng(const Image& image, std::vector<uint8_t>& out) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png.height = static_cast<png_uint_32>(image.size);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t bytes = 0;
    if (!png_image_write_get_memory_size(png, bytes, 0, image.rgba.data(), 0, nullptr))
        return false;
    out.resize(bytes);
    return png_image_write_to_memory(&png, out.data(), &bytes, 0, image.rgba.data(), 0, nullptr) &&
           (out.resize(bytes), true);
}

// Area-weighted downscale in premultiplied alpha, so edges do not darken.
Image Scale(const Image& src, int size) {
    Image dst;
    dst.size = size;
    dst.rgba.assign(static_cast<size_t>(size) * size * 4, 0);
    const double ratio = static_cast<double>(src.size) / size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double acc[4] = {0, 0, 0, 0}, weight = 0;
            const double x0 = x * ratio, x1 = (x + 1) * ratio;
            const double y0 = y * ratio, y1 = (y + 1) * ratio;
            for (int sy = static_cast<int>(y0); sy < y1 && sy < src.size; ++sy) {
                const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
                for (int sx = static_cast<int>(x0); sx < x1 && sx < src.size; ++sx) {
                    const double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
                    const uint8_t* p = &src.rgba[(static_cast<size_t>(sy) * src.size + sx) * 4];
                    const double w = wx * wy, a = p[3] / 255.0;
                    acc[0] += p[0] * a * w;
                    acc[1] += p[1] * a * w;
                    acc[2] += p[2] * a * w;
                    acc[3] += p[3] * w;
                    weight += w;
                }
            }
            uint8_t* d = &dst.rgba[(static_cast<size_t>(y) * size + x) * 4];
            const double alpha = acc[3] / weight;
            for (int c = 0; c < 3; ++c) {
                d[c] = alpha > 0 ? static_cast<uint8_t>(
                                       std::min(255.0, acc[c] / weight / (alpha / 255.0) + 0.5))
                                 : 0;
            }
            d[3] = static_cast<uint8_t>(alpha + 0.5);
        }
    }
    return dst;
}

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// BITMAPINFOHEADER, BGRA rows bottom up, then the 1-bit AND mask.
std::vector<uint8_t> EncodeDib(const Image& image) {
    const int s = image.size;
    std::vector<uint8_t> v;
    Put32(v, 40);
    Put32(v, static_cast<uint32_t>(s));
    Put32(v, static_cast<uint32_t>(s * 2));  // colour and mask
    Put16(v, 1);
    Put16(v, 32);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    Put32(v, 0);
    for (int y = s - 1; y >= 0; --y) {
        for (int x = 0; x < s; ++x) {
            const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * s + x) * 4];
            v.push_back(p[2]);
            v.push_back(p[1]);
            v.push_back(p[0]);
            v.push_back(p[3]);
        }
    }
    const int maskRow = ((s + 31) / 32) * 4;
    for (int y = s - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < s; ++x) {
            if (image.rgba[(static_cast<size_t>(y) * s + x) * 4 + 3] == 0)
                row[x / 8] |= 0x80 >> (x % 8);
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorn-icon IN.png OUT.ico\n");
        return 2;
    }
    Image source;
    if (!ReadPng(argv[1], source)) {
        std::fprintf(stderr, "vorn-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const int sizes[] = {256, 128, 64, 48, 32, 16};
    std::vector<std::vector<uint8_t>> entries;
    for (int size : sizes) {
        const Image scaled = size == source.size ? source : Scale(source, size);
        std::vector<uint8_t> data;
        if (size == 256) {
            if (!EncodePng(scaled, data)) {
                std::fprintf(stderr, "vorn-icon: PNG encoding failed\n");
                return 1;
            }
        } else {
            data = EncodeDib(scaled);
        }
        entries.push_back(std::move(data));
    }

    std::vector<uint8_t> ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, static_cast<uint32_t>(entries.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const int s = sizes[i];
        ico.push_back(s >= 256 ? 0 : static_cast<uint8_t>(s));
        ico.push_back(s >= 256 ? 0 : static_cast<uint8_t>(s));
        ico.push_back(0);
        ico.push_back(0);
        Put16(ico, 1);
        Put16(ico, 32);
        Put32(ico, static_cast<uint32_t>(entries[i].size()));
        Put32(ico, offset);
        offset += static_cast<uint32_t>(entries[i].size());
    }
    for (const auto& e : entries)
        ico.insert(ico.end(), e.begin(), e.end());

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
    if (!out) {
        std::fprintf(stderr, "vorn-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
