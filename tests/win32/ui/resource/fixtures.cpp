#include "fixtures.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

namespace vorn::test {
namespace {

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutBe32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(v >> s));
}
void Append(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}
void Append(Bytes& b, const Bytes& s) {
    b.insert(b.end(), s.begin(), s.end());
}

std::string RawDeflate(const std::string& data) {
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void PngChunk(Bytes& png, const char* type, const Bytes& body) {
    PutBe32(png, static_cast<uint32_t>(body.size()));
    Bytes typed(type, type + 4);
    Append(typed, body);
    Append(png, typed);
    PutBe32(png, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

Bytes Ihdr(uint32_t width, uint32_t height, int colourType) {
    Bytes ihdr;
    PutBe32(ihdr, width);
    PutBe32(ihdr, height);
    ihdr.push_back(8);
    ihdr.push_back(static_cast<unsigned char>(colourType));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(0);
    return ihdr;
}

}  // namespace

Bytes MakeZip(const std::vector<ZipEntry>& entries) {
    Bytes zip, central;
    for (const ZipEntry& e : entries) {
        const std::string stored = e.deflate ? RawDeflate(e.data) : e.data;
        const uint32_t crc = static_cast<uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const uint32_t size =
            static_cast<uint32_t>(e.claimedSize >= 0 ? e.claimedSize : e.data.size());
        const uint32_t offset = static_cast<uint32_t>(zip.size());
        auto common = [&](Bytes& b) {
            Put16(b, 20);  // version needed
            Put16(b, 0);   // flags
            Put16(b, e.deflate ? 8 : 0);
            Put16(b, 0);     // time
            Put16(b, 0x21);  // date: 1980-01-01
            Put32(b, crc);
            Put32(b, static_cast<uint32_t>(stored.size()));
            Put32(b, size);
            Put16(b, static_cast<uint32_t>(e.name.size()));
            Put16(b, 0);  // extra field
        };
        Put32(zip, 0x04034b50);
        common(zip);
        Append(zip, e.name);
        Append(zip, stored);

        Put32(central, 0x02014b50);
        Put16(central, 20);  // made by
        common(central);
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, offset);
        Append(central, e.name);
    }
    const uint32_t centralOffset = static_cast<uint32_t>(zip.size());
    Append(zip, central);
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put32(zip, static_cast<uint32_t>(central.size()));
    Put32(zip, centralOffset);
    Put16(zip, 0);
    return zip;
}

Bytes MakePng(int width, int height, const std::vector<uint32_t>& argb, bool alpha) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');  // filter: none
        for (int x = 0; x < width; ++x) {
            const uint32_t p = argb[size_t(y) * width + x];
            raw.push_back(static_cast<char>(p >> 16));
            raw.push_back(static_cast<char>(p >> 8));
            raw.push_back(static_cast<char>(p));
            if (alpha)
                raw.push_back(static_cast<char>(p >> 24));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);

    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PngChunk(png, "IHDR", Ihdr(width, height, alpha ? 6 : 2));
    PngChunk(png, "IDAT", packed);
    PngChunk(png, "IEND", {});
    return png;
}

Bytes MakePngHeader(uint32_t width, uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PngChunk(png, "IHDR", Ihdr(width, height, 6));
    PngChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    PngChunk(png, "IEND", {});
    return png;
}

Bytes MakeBmp(int width, int height, const std::vector<uint32_t>& rgb) {
    const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    Bytes bmp = {'B', 'M'};
    Put32(bmp, 54 + stride * height);
    Put32(bmp, 0);
    Put32(bmp, 54);
    Put32(bmp, 40);
    Put32(bmp, width);
    Put32(bmp, height);  // positive: bottom-up
    Put16(bmp, 1);
    Put16(bmp, 24);
    for (int i = 0; i < 6; ++i)
        Put32(bmp, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t p = rgb[size_t(y) * width + x];
            bmp.push_back(static_cast<unsigned char>(p));
            bmp.push_back(static_cast<unsigned char>(p >> 8));
            bmp.push_back(static_cast<unsigned char>(p >> 16));
        }
        for (uint32_t pad = uint32_t(width) * 3; pad < stride; ++pad)
            bmp.push_back(0);
    }
    return bmp;
}

Bytes PackCodes(const std::vector<std::pair<int, int>>& codeAndWidth) {
    Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (const auto& [code, width] : codeAndWidth) {
        bits |= uint32_t(code) << count;
        count += width;
        while (count >= 8) {
            out.push_back(static_cast<unsigned char>(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        out.push_back(static_cast<unsigned char>(bits));
    return out;
}

Bytes LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<std::pair<int, int>> codes;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    std::map<std::pair<int, int>, int> dictionary;
    codes.push_back({clear, codeSize});
    if (!indices.empty()) {
        int current = indices[0];
        for (size_t i = 1; i < indices.size(); ++i) {
            const int k = indices[i];
            auto found = dictionary.find({current, k});
            if (found != dictionary.end()) {
                current = found->second;
                continue;
            }
            codes.push_back({current, codeSize});
            if (next < 4096) {
                dictionary[{current, k}] = next++;
                // The decoder adds each entry one code later, hence "greater than".
                if (next > (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            } else if (clearWhenFull) {
                codes.push_back({clear, codeSize});
                dictionary.clear();
                codeSize = minCodeSize + 1;
                next = clear + 2;
            }
            current = k;
        }
        codes.push_back({current, codeSize});
    }
    codes.push_back({end, codeSize});
    return PackCodes(codes);
}

Bytes MakeGif(int width, int height, const std::vector<uint32_t>& globalPalette,
              const std::vector<GifFrame>& frames, int loopCount) {
    auto tableBits = [](size_t n) {
        int bits = 0;
        while ((2u << bits) < n)
            ++bits;
        return bits;
    };
    auto putPalette = [](Bytes& b, const std::vector<uint32_t>& p, int bits) {
        for (size_t i = 0; i < (2u << bits); ++i) {
            const uint32_t c = i < p.size() ? p[i] : 0;
            b.push_back(static_cast<unsigned char>(c >> 16));
            b.push_back(static_cast<unsigned char>(c >> 8));
            b.push_back(static_cast<unsigned char>(c));
        }
    };
    Bytes gif;
    Append(gif, std::string("GIF89a"));
    Put16(gif, width);
    Put16(gif, height);
    const int globalBits = tableBits(globalPalette.size());
    gif.push_back(static_cast<unsigned char>(globalPalette.empty() ? 0 : 0xF0 | globalBits));
    gif.push_back(0);
    gif.push_back(0);
    if (!globalPalette.empty())
        putPalette(gif, globalPalette, globalBits);
    if (loopCount >= 0) {
        gif.push_back(0x21);
        gif.push_back(0xFF);
        gif.push_back(11);
        Append(gif, std::string("NETSCAPE2.0"));
        gif.push_back(3);
        gif.push_back(1);
        Put16(gif, loopCount);
        gif.push_back(0);
    }
    for (const GifFrame& f : frames) {
        if (f.control) {
            gif.push_back(0x21);
            gif.push_back(0xF9);
            gif.push_back(4);
            gif.push_back(static_cast<unsigned char>((f.disposal << 2) | (f.transparent >= 0)));
            Put16(gif, f.delay);
            gif.push_back(static_cast<unsigned char>(f.transparent >= 0 ? f.transparent : 0));
            gif.push_back(0);
        }
        gif.push_back(0x2C);
        Put16(gif, f.left);
        Put16(gif, f.top);
        Put16(gif, f.width);
        Put16(gif, f.height);
        const int localBits = tableBits(f.localPalette.size());
        gif.push_back(static_cast<unsigned char>((f.localPalette.empty() ? 0 : 0x80 | localBits) |
                                                 (f.interlaced ? 0x40 : 0)));
        if (!f.localPalette.empty())
            putPalette(gif, f.localPalette, localBits);
        int minCode = f.minCodeSize;
        if (minCode == 0) {
            minCode = std::max(2, (f.localPalette.empty() ? globalBits : localBits) + 1);
        }
        gif.push_back(static_cast<unsigned char>(minCode));
        Bytes data = f.rawData;
        if (data.empty()) {
            std::vector<uint8_t> ordered;
            if (f.interlaced) {
                static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass) {
                    for (int y = kStart[pass]; y < f.height; y += kStep[pass]) {
                        ordered.insert(ordered.end(), f.indices.begin() + size_t(y) * f.width,
                                       f.indices.begin() + size_t(y + 1) * f.width);
                    }
                }
            } else {
                ordered = f.indices;
            }
            data = LzwEncode(ordered, minCode, f.clearWhenFull);
        }
        for (size_t p = 0; p < data.size(); p += 255) {
            const size_t n = std::min<size_t>(255, data.size() - p);
            gif.push_back(static_cast<unsigned char>(n));
            gif.insert(gif.end(), data.begin() + p, data.begin() + p + n);
        }
        gif.push_back(0);
    }
    gif.push_back(0x3B);
    return gif;
}

Bytes ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vorn::test
