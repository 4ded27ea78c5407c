#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdlib>

#include <gdiplus.h>

#include "fixtures.h"
#include "support/test_support.h"
#include "ui/gifdecoder.h"
#include "ui/imagedecoder.h"

using TavroLib::CImageData;
using TavroLib::DecodeImage;
using vorn::test::Bytes;

namespace {

int Channel(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

// Encodes an opaque picture with GDI+'s own JPEG encoder.
Bytes EncodeJpeg(int width, int height, uint32_t leftRgb, uint32_t rightRgb) {
    if (!TavroLib::EnsureGdiplus())
        return {};
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = x < width / 2 ? leftRgb : rightRgb;
            bitmap.SetPixel(x, y, Gdiplus::Color(0xFF000000u | rgb));
        }
    }
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<unsigned char> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    const CLSID* jpeg = nullptr;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/jpeg")
            jpeg = &encoders[i].Clsid;
    }
    if (jpeg == nullptr)
        return {};
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return {};
    Bytes out;
    if (bitmap.Save(stream, jpeg, nullptr) == Gdiplus::Ok) {
        HGLOBAL memory = nullptr;
        ::GetHGlobalFromStream(stream, &memory);
        STATSTG stat = {};
        stream->Stat(&stat, STATFLAG_NONAME);
        const auto* p = static_cast<const unsigned char*>(::GlobalLock(memory));
        out.assign(p, p + stat.cbSize.QuadPart);
        ::GlobalUnlock(memory);
    }
    stream->Release();
    return out;
}

size_t CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

}  // namespace

TEST(ImageDecoder, PngWithAlphaIsPremultiplied) {
    // Row 0: half-transparent orange, opaque green, fully transparent white.
    // Row 1: opaque blue, quarter-opaque grey, opaque black.
    const std::vector<uint32_t> argb = {0x80C86432, 0xFF00FF00, 0x00FFFFFF,
                                        0xFF0000FF, 0x40808080, 0xFF000000};
    const Bytes png = vorn::test::MakePng(3, 2, argb, true);
    CImageData image;
    ASSERT_TRUE(DecodeImage(png.data(), png.size(), image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    ASSERT_EQ(image.pixels.size(), 6u);
    EXPECT_TRUE(image.hasAlpha);

    const uint32_t p = image.pixels[0];
    EXPECT_EQ(Channel(p, 24), 0x80);
    EXPECT_NEAR(Channel(p, 16), 200 * 128 / 255, 1);
    EXPECT_NEAR(Channel(p, 8), 100 * 128 / 255, 1);
    EXPECT_NEAR(Channel(p, 0), 50 * 128 / 255, 1);
    EXPECT_EQ(image.pixels[1], 0xFF00FF00u);
    EXPECT_EQ(image.pixels[2], 0u);
    EXPECT_EQ(image.pixels[3], 0xFF0000FFu);  // top-down: row 1 follows row 0
    EXPECT_EQ(Channel(image.pixels[4], 24), 0x40);
    EXPECT_NEAR(Channel(image.pixels[4], 16), 128 * 64 / 255, 1);
    EXPECT_EQ(image.pixels[5], 0xFF000000u);
}

TEST(ImageDecoder, OpaqueFormatsDecode) {
    const Bytes png = vorn::test::MakePng(2, 1, {0xFF102030, 0xFFFFFFFF}, false);
    CImageData image;
    ASSERT_TRUE(DecodeImage(png.data(), png.size(), image));
    EXPECT_FALSE(image.hasAlpha);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF102030, 0xFFFFFFFF}));

    // BMP rows are stored bottom-up; the decoded pixels are top-down.
    const Bytes bmp = vorn::test::MakeBmp(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456});
    ASSERT_TRUE(DecodeImage(bmp.data(), bmp.size(), image));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_FALSE(image.hasAlpha);
    EXPECT_EQ(image.pixels,
              (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456}));

    const Bytes jpeg = EncodeJpeg(32, 16, 0xE02020, 0x2020E0);
    ASSERT_FALSE(jpeg.empty()) << "GDI+ has no JPEG encoder";
    ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 16);
    EXPECT_FALSE(image.hasAlpha);
    const uint32_t left = image.pixels[8 * 32 + 4], right = image.pixels[8 * 32 + 27];
    EXPECT_EQ(Channel(left, 24), 0xFF);
    EXPECT_NEAR(Channel(left, 16), 0xE0, 12);
    EXPECT_NEAR(Channel(left, 0), 0x20, 12);
    EXPECT_NEAR(Channel(right, 16), 0x20, 12);
    EXPECT_NEAR(Channel(right, 0), 0xE0, 12);
}

TEST(ImageDecoder, RefusesBadDataAndAbsurdSizes) {
    CImageData image;
    image.width = 5;
    const unsigned char garbage[] = "this is not an image at all, just some bytes....";
    EXPECT_FALSE(DecodeImage(garbage, sizeof garbage, image));
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_FALSE(DecodeImage(nullptr, 10, image));
    EXPECT_FALSE(DecodeImage(garbage, 0, image));

    // A valid header over damaged or missing data.
    const Bytes png = vorn::test::MakePng(16, 16, std::vector<uint32_t>(256, 0xFF336699), false);
    for (size_t cut : {size_t(8), size_t(30), png.size() / 2}) {
        EXPECT_FALSE(DecodeImage(png.data(), cut, image)) << cut;
    }

    // Sizes from the header are refused before any pixel memory is taken
    // (commit charge: Wine reports no PrivateUsage).
    const size_t before = CommittedBytes();
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{100000, 100000},
                        {8193, 1},
                        {1, 8193},
                        {8192, 4097},
                        {0, 10},
                        {0x80000000u, 2}}) {
        const Bytes huge = vorn::test::MakePngHeader(w, h);
        EXPECT_FALSE(DecodeImage(huge.data(), huge.size(), image)) << w << "x" << h;
        int pw = 0, ph = 0;
        if (w <= 0x7FFFFFFF) {
            EXPECT_TRUE(TavroLib::PeekImageSize(huge.data(), huge.size(), pw, ph));
            EXPECT_EQ(uint32_t(pw), w);
            EXPECT_EQ(uint32_t(ph), h);
        }
    }
    // JPEG frame header announcing 60000 x 60000.
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x0B,
                        0x08, 0xEA, 0x60, 0xEA, 0x60, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    int pw = 0, ph = 0;
    ASSERT_TRUE(TavroLib::PeekImageSize(jpeg.data(), jpeg.size(), pw, ph));
    EXPECT_EQ(pw, 60000);
    EXPECT_EQ(ph, 60000);
    EXPECT_FALSE(DecodeImage(jpeg.data(), jpeg.size(), image));
    EXPECT_LT(CommittedBytes(), before + 16u * 1024 * 1024);
}

// The skin's own images decode at the sizes they are drawn at.
TEST(ImageDecoder, SkinImages) {
    const std::wstring skin = vorn::test::WideArg("skin-dir");
    if (skin.empty())
        GTEST_SKIP() << "no skin folder given";
    const struct {
        const wchar_t* name;
        int width, height;
    } expected[] = {{L"Close.png", 30, 30},       {L"vxbackground3.png", 800, 500},
                    {L"Installbtn.png", 138, 44}, {L"okbtn.png", 139, 44},
                    {L"confirmbtn.png", 120, 40}, {L"checked.png", 14, 14},
                    {L"progress.png", 10, 22},    {L"movie.gif", 800, 360}};
    for (const auto& e : expected) {
        const Bytes bytes = vorn::test::ReadFileBytes(skin + L"\\" + e.name);
        CImageData image;
        ASSERT_TRUE(DecodeImage(bytes.data(), bytes.size(), image)) << e.width;
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
    }

    // A GIF decodes to its first frame, the same picture as the animation's frame 0.
    const Bytes movie = vorn::test::ReadFileBytes(skin + L"\\movie.gif");
    CImageData first;
    ASSERT_TRUE(DecodeImage(movie.data(), movie.size(), first));
    TavroLib::CGifDecoder gif;
    ASSERT_TRUE(gif.Open(movie));
    ASSERT_TRUE(gif.DecodeFrame(0));
    int differing = 0;
    for (size_t i = 0; i < first.pixels.size(); ++i) {
        for (int s = 0; s < 32; s += 8) {
            if (std::abs(Channel(first.pixels[i], s) - Channel(gif.Canvas()[i], s)) > 2) {
                ++differing;
                break;
            }
        }
    }
    EXPECT_EQ(differing, 0);
}
