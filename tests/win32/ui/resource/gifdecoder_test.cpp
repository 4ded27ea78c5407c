#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>

#include <cstdlib>
#include <memory>

#include <gdiplus.h>

#include "fixtures.h"
#include "support/address_squeeze.h"
#include "support/test_support.h"
#include "ui/gifdecoder.h"
#include "ui/imagedecoder.h"

using TavroLib::CGifDecoder;
using vorn::test::Bytes;
using vorn::test::GifFrame;
using vorn::test::MakeGif;

namespace {

// Palette indices of the hand-made animation and the letters the expected pictures use.
enum : uint8_t { K, R, G, B, W, Y, C, M };
const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                        0xFFFFFF, 0xFFFF00, 0x00FFFF, 0xFF00FF};

std::string Picture(const CGifDecoder& gif) {
    std::string s;
    for (int y = 0; y < gif.Height(); ++y) {
        for (int x = 0; x < gif.Width(); ++x) {
            const uint32_t p = gif.Canvas()[y * gif.Width() + x];
            char c = '?';
            if (p == 0)
                c = '.';
            for (size_t i = 0; i < kPalette.size(); ++i) {
                if (p == (0xFF000000u | kPalette[i]))
                    c = "KRGBWYCM"[i];
            }
            s += c;
        }
        s += '\n';
    }
    return s;
}

GifFrame Filled(int left, int top, int width, int height, uint8_t index) {
    GifFrame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.indices.assign(size_t(width) * height, index);
    return f;
}

// A 6 x 5 screen: a red frame kept, a sparse green one (transparent 0)
// restored to background, a blue one restored to previous, an interlaced one
// reaching past the right edge with a transparent row, one wholly off screen.
Bytes HandMadeGif(int loop = 0) {
    GifFrame f0 = Filled(0, 0, 6, 5, R);
    f0.disposal = 1;
    f0.delay = 0;
    GifFrame f1 = Filled(1, 1, 3, 2, 0);
    f1.indices = {G, K, G, K, G, K};
    f1.transparent = K;
    f1.disposal = 2;
    f1.delay = 7;
    GifFrame f2 = Filled(0, 0, 2, 2, B);
    f2.disposal = 3;
    f2.delay = 250;
    GifFrame f3 = Filled(3, 0, 4, 5, 0);
    f3.interlaced = true;
    f3.transparent = C;
    const uint8_t rows[5] = {W, Y, C, M, G};
    for (int y = 0; y < 5; ++y)
        std::fill_n(f3.indices.begin() + y * 4, 4, rows[y]);
    GifFrame f4 = Filled(10, 10, 2, 2, W);
    f4.disposal = 2;
    f4.control = false;
    return MakeGif(6, 5, kPalette, {f0, f1, f2, f3, f4}, loop);
}

const char* const kExpected[5] = {
    "RRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\n", "RRRRRR\nRGRGRR\nRRGRRR\nRRRRRR\nRRRRRR\n",
    "BBRRRR\nBB..RR\nR...RR\nRRRRRR\nRRRRRR\n", "RRRWWW\nR..YYY\nR...RR\nRRRMMM\nRRRGGG\n",
    "RRRWWW\nR..YYY\nR...RR\nRRRMMM\nRRRGGG\n",
};

std::wstring MoviePath() {
    const std::wstring skin = vorn::test::WideArg("skin-dir");
    return skin.empty() ? skin : skin + L"\\movie.gif";
}

struct ComRelease {
    void operator()(IUnknown* p) const { p->Release(); }
};

}  // namespace

TEST(GifDecoder, ComposesDisposalTransparencyAndInterlace) {
    CGifDecoder gif;
    ASSERT_TRUE(gif.Open(HandMadeGif()));
    EXPECT_EQ(gif.Width(), 6);
    EXPECT_EQ(gif.Height(), 5);
    ASSERT_EQ(gif.FrameCount(), 5u);
    EXPECT_EQ(gif.LoopCount(), 0);
    EXPECT_EQ(gif.FrameDelayMs(0), 100);  // a delay of 0
    EXPECT_EQ(gif.FrameDelayMs(1), 70);
    EXPECT_EQ(gif.FrameDelayMs(2), 2500);
    EXPECT_EQ(gif.FrameDelayMs(4), 100);  // no control extension
    EXPECT_EQ(gif.FrameDelayMs(5), 0);
    EXPECT_EQ(gif.CurrentFrame(), CGifDecoder::kNoFrame);
    EXPECT_EQ(Picture(gif), "......\n......\n......\n......\n......\n");  // cleared

    for (size_t i = 0; i < 5; ++i) {
        ASSERT_TRUE(gif.DecodeFrame(i)) << i;
        EXPECT_EQ(Picture(gif), kExpected[i]) << "frame " << i;
    }
    // Round again: the first frame starts from a cleared canvas.
    ASSERT_TRUE(gif.DecodeFrame(0));
    EXPECT_EQ(Picture(gif), kExpected[0]);
    // Jumps forward and back compose through the frames in between.
    ASSERT_TRUE(gif.DecodeFrame(3));
    EXPECT_EQ(Picture(gif), kExpected[3]);
    ASSERT_TRUE(gif.DecodeFrame(2));
    EXPECT_EQ(Picture(gif), kExpected[2]);
    EXPECT_TRUE(gif.DecodeFrame(2));  // the frame shown
    EXPECT_EQ(Picture(gif), kExpected[2]);
    EXPECT_FALSE(gif.DecodeFrame(5));
    EXPECT_EQ(gif.CurrentFrame(), 2u);

    CGifDecoder once;
    ASSERT_TRUE(once.Open(HandMadeGif(-1)));
    EXPECT_EQ(once.LoopCount(), -1);
}

TEST(GifDecoder, LzwRoundTripsAcrossCodeSizes) {
    // Pseudo-random pictures fill the 4096-entry dictionary; with and without
    // a clear code when it is full (the decoder keeps 12-bit codes then).
    uint32_t seed = 12345;
    auto random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int bits : {1, 2, 5, 8}) {
        for (bool clearWhenFull : {true, false}) {
            const int colours = 1 << bits;
            std::vector<uint32_t> palette;
            for (int c = 0; c < colours; ++c)
                palette.push_back(uint32_t(c) * 0x010203u + 0x30);
            GifFrame f = Filled(0, 0, 157, 143, 0);
            for (auto& v : f.indices)
                v = static_cast<uint8_t>(random() % (random() % 7 == 0 ? colours : 2));
            f.clearWhenFull = clearWhenFull;
            f.minCodeSize = std::max(2, bits);
            CGifDecoder gif;
            ASSERT_TRUE(gif.Open(MakeGif(157, 143, palette, {f}, -1)));
            ASSERT_TRUE(gif.DecodeFrame(0)) << bits << " " << clearWhenFull;
            int wrong = 0;
            for (size_t i = 0; i < f.indices.size(); ++i) {
                wrong += gif.Canvas()[i] != (0xFF000000u | palette[f.indices[i]]);
            }
            EXPECT_EQ(wrong, 0) << bits << " " << clearWhenFull;
        }
    }
}

TEST(GifDecoder, DamagedDataEndsCleanly) {
    const Bytes whole = HandMadeGif();
    // Every cut: either refused or decodable frame by frame without harm.
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        CGifDecoder gif;
        if (!gif.Open(Bytes(whole.begin(), whole.begin() + cut)))
            continue;
        EXPECT_LE(gif.FrameCount(), 5u);
        for (size_t i = 0; i < gif.FrameCount(); ++i)
            gif.DecodeFrame(i);
    }
    // Every byte flipped: no crash, the canvas stays the screen's size.
    for (size_t at = 13; at < whole.size(); ++at) {
        Bytes bytes = whole;
        bytes[at] ^= 0xA5;
        CGifDecoder gif;
        if (!gif.Open(bytes))
            continue;
        for (size_t i = 0; i < gif.FrameCount(); ++i)
            gif.DecodeFrame(i);
        EXPECT_EQ(gif.Width() * gif.Height(), 30);
    }

    // Undefined code after a literal: the literal shows, the frame reports damage.
    GifFrame bad = Filled(0, 0, 4, 1, 0);
    bad.minCodeSize = 2;  // clear 4, end 5, first free code 6
    bad.rawData = vorn::test::PackCodes({{4, 3}, {G, 3}, {7, 3}, {5, 3}});
    GifFrame after = Filled(3, 0, 1, 1, B);
    CGifDecoder gif;
    ASSERT_TRUE(gif.Open(MakeGif(4, 1, kPalette, {bad, after}, -1)));
    EXPECT_FALSE(gif.DecodeFrame(0));
    EXPECT_EQ(Picture(gif), "G...\n");
    EXPECT_TRUE(gif.DecodeFrame(1));  // the animation goes on
    EXPECT_EQ(Picture(gif), "G..B\n");

    // A first code that is no literal, and a code size out of range.
    bad.rawData = vorn::test::PackCodes({{4, 3}, {6, 3}, {5, 3}});
    ASSERT_TRUE(gif.Open(MakeGif(4, 1, kPalette, {bad}, -1)));
    EXPECT_FALSE(gif.DecodeFrame(0));
    EXPECT_EQ(Picture(gif), "....\n");
    GifFrame wide = Filled(0, 0, 4, 1, R);
    wide.minCodeSize = 12;
    ASSERT_TRUE(gif.Open(MakeGif(4, 1, kPalette, {wide}, -1)));
    EXPECT_FALSE(gif.DecodeFrame(0));
    // The end code before the last pixel.
    bad.rawData = vorn::test::PackCodes({{4, 3}, {R, 3}, {R, 3}, {5, 3}});
    ASSERT_TRUE(gif.Open(MakeGif(4, 1, kPalette, {bad}, -1)));
    EXPECT_FALSE(gif.DecodeFrame(0));
    EXPECT_EQ(Picture(gif), "RR..\n");
}

TEST(GifDecoder, BoundsOnScreenAndFrames) {
    CGifDecoder gif;
    EXPECT_EQ(gif.Canvas(), nullptr);
    EXPECT_FALSE(gif.DecodeFrame(0));
    EXPECT_FALSE(gif.Open({}));
    EXPECT_FALSE(gif.Open(Bytes{'G', 'I', 'F', '8', '9', 'a'}));
    const GifFrame dot = Filled(0, 0, 1, 1, R);
    EXPECT_FALSE(gif.Open(MakeGif(65535, 65535, kPalette, {dot}, -1)));
    EXPECT_FALSE(gif.Open(MakeGif(8193, 1, kPalette, {dot}, -1)));
    EXPECT_FALSE(gif.Open(MakeGif(8192, 8192, kPalette, {dot}, -1)));  // over 32 M pixels
    EXPECT_FALSE(gif.Open(MakeGif(0, 5, kPalette, {dot}, -1)));
    EXPECT_FALSE(gif.Open(MakeGif(5, 5, kPalette, {}, 0)));  // no frame
    Bytes gif87 = MakeGif(1, 1, kPalette, {dot}, -1);
    gif87[4] = '7';
    EXPECT_TRUE(gif.Open(gif87));
    gif87[4] = '6';
    EXPECT_FALSE(gif.Open(gif87));

    // A frame far larger than the screen is clipped; its hidden rows are not decoded.
    GifFrame huge = Filled(1, 1, 3000, 3000, G);
    ASSERT_TRUE(gif.Open(MakeGif(3, 3, kPalette, {huge}, -1)));
    ASSERT_TRUE(gif.DecodeFrame(0));
    EXPECT_EQ(Picture(gif), "...\n.GG\n.GG\n");

    // The index stops at kMaxFrames.
    std::vector<GifFrame> many(CGifDecoder::kMaxFrames + 5, dot);
    ASSERT_TRUE(gif.Open(MakeGif(1, 1, kPalette, many, 0)));
    EXPECT_EQ(gif.FrameCount(), CGifDecoder::kMaxFrames);
    EXPECT_TRUE(gif.DecodeFrame(CGifDecoder::kMaxFrames - 1));
    EXPECT_EQ(gif.Canvas()[0], 0xFFFF0000u);
}

// In a crowded 32-bit process the canvas of a large screen cannot be had:
// the GIF is refused, and nothing escapes as an exception.
TEST(GifDecoder, NoMemoryForTheCanvasFailsCleanly) {
    if (!vorn::test::AddressSqueeze::Possible())
        GTEST_SKIP() << "a 64-bit address space cannot be filled";
    const Bytes big = MakeGif(8192, 4096, kPalette, {Filled(0, 0, 1, 1, R)}, -1);  // 128 MiB
    CGifDecoder gif;
    {
        vorn::test::AddressSqueeze squeeze(16u << 20);
        EXPECT_FALSE(gif.Open(big));
        EXPECT_EQ(gif.Canvas(), nullptr);
    }
    ASSERT_TRUE(gif.Open(big));
    EXPECT_TRUE(gif.DecodeFrame(0));
}

// movie.gif frame by frame, compared with GDI+'s rendering of the same frames.
TEST(GifDecoder, MovieMatchesGdiplus) {
    const std::wstring path = MoviePath();
    if (path.empty())
        GTEST_SKIP() << "no skin folder given";
    const Bytes bytes = vorn::test::ReadFileBytes(path);
    CGifDecoder gif;
    ASSERT_TRUE(gif.Open(bytes));
    EXPECT_EQ(gif.Width(), 800);
    EXPECT_EQ(gif.Height(), 360);
    ASSERT_EQ(gif.FrameCount(), 124u);
    EXPECT_EQ(gif.LoopCount(), 0);
    EXPECT_EQ(gif.FrameDelayMs(0), 50);
    // Decoding touched no pixel yet: one canvas besides the file.
    EXPECT_LT(gif.MemoryBytes(), bytes.size() + 800u * 360 * 4 + 64 * 1024);

    ASSERT_TRUE(TavroLib::EnsureGdiplus());
    std::unique_ptr<IStream, ComRelease> stream(
        ::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    ASSERT_TRUE(stream);
    std::unique_ptr<Gdiplus::Bitmap> reference(Gdiplus::Bitmap::FromStream(stream.get()));
    ASSERT_TRUE(reference && reference->GetLastStatus() == Gdiplus::Ok);
    EXPECT_EQ(reference->GetFrameCount(&Gdiplus::FrameDimensionTime), 124u);

    const std::vector<size_t> compared = {0, 1, 2, 61, 123};
    size_t next = 0;
    for (size_t i = 0; i < gif.FrameCount(); ++i) {
        ASSERT_TRUE(gif.DecodeFrame(i)) << i;
        if (next >= compared.size() || compared[next] != i)
            continue;
        ++next;
        ASSERT_EQ(reference->SelectActiveFrame(&Gdiplus::FrameDimensionTime, UINT(i)), Gdiplus::Ok);
        Gdiplus::Rect rect(0, 0, 800, 360);
        Gdiplus::BitmapData locked = {};
        ASSERT_EQ(
            reference->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &locked),
            Gdiplus::Ok);
        int differing = 0;
        for (int y = 0; y < 360; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const unsigned char*>(locked.Scan0) + y * locked.Stride);
            for (int x = 0; x < 800; ++x) {
                const uint32_t a = row[x], b = gif.Canvas()[y * 800 + x];
                for (int s = 0; s < 32; s += 8) {
                    if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 2) {
                        ++differing;
                        break;
                    }
                }
            }
        }
        reference->UnlockBits(&locked);
        EXPECT_LE(differing, 800 * 360 / 1000) << "frame " << i;  // at most 0.1 %
    }
    EXPECT_EQ(next, compared.size());

    // Cut in the middle of a frame: the earlier frames stay whole.
    for (size_t cut : {bytes.size() / 2, bytes.size() - 100, size_t(1000)}) {
        CGifDecoder part;
        ASSERT_TRUE(part.Open(Bytes(bytes.begin(), bytes.begin() + cut)));
        ASSERT_GE(part.FrameCount(), 1u);
        EXPECT_LT(part.FrameCount(), 125u);
        for (size_t i = 0; i + 1 < part.FrameCount(); ++i)
            EXPECT_TRUE(part.DecodeFrame(i));
        EXPECT_FALSE(part.DecodeFrame(part.FrameCount() - 1));
    }
}
