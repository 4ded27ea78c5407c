// Builders for the resource tests' inputs: zip archives, PNG and BMP files
// and GIF animations, made in memory so that every byte is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

using Bytes = std::vector<unsigned char>;

struct ZipEntry {
    std::string name;  // UTF-8
    std::string data;
    bool deflate = true;
    // When set, the headers announce this uncompressed size instead of the real one.
    int64_t claimedSize = -1;
};
Bytes MakeZip(const std::vector<ZipEntry>& entries);

// 8-bit RGBA (colour type 6) or RGB (type 2) PNG; pixels as 0xAARRGGBB.
Bytes MakePng(int width, int height, const std::vector<uint32_t>& argb, bool alpha);
// A valid signature and IHDR chunk announcing the size, followed by a tiny IDAT.
Bytes MakePngHeader(uint32_t width, uint32_t height);
// 24-bit bottom-up BMP; pixels as 0x00RRGGBB.
Bytes MakeBmp(int width, int height, const std::vector<uint32_t>& rgb);

// GIF89a. Palettes as 0xRRGGBB.
struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;  // width * height, rows top to bottom
    bool interlaced = false;
    int disposal = 0;
    int transparent = -1;
    int delay = 0;        // hundredths of a second
    bool control = true;  // write a Graphic Control Extension
    std::vector<uint32_t> localPalette;
    int minCodeSize = 0;        // 0: from the palette size
    bool clearWhenFull = true;  // emit a clear code when the dictionary is full
    Bytes rawData;              // when not empty: the LZW code stream as written
};
Bytes MakeGif(int width, int height, const std::vector<uint32_t>& globalPalette,
              const std::vector<GifFrame>& frames, int loopCount);

// GIF-flavoured LZW, the codes packed least significant bit first.
Bytes LzwEncode(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull);
// Packs the given codes with the given widths (for hand-written, broken streams).
Bytes PackCodes(const std::vector<std::pair<int, int>>& codeAndWidth);

Bytes ReadFileBytes(const std::wstring& path);

}  // namespace vorn::test
