#include "ui/imagescaler.h"

#include <algorithm>
#include <cmath>

#include "ui/resources.h"
#include "util/allocation.h"

namespace TavroLib {
namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
// Larger scaled copies are not kept: a window is never that large.
constexpr int64_t kMaxCachedPixels = 16384LL * 16384LL;

double Kernel(ResampleFilter filter, double x) {
    x = std::fabs(x);
    if (filter == ResampleFilter::Linear)
        return x < 1.0 ? 1.0 - x : 0.0;
    // Catmull-Rom
    if (x < 1.0)
        return 1.5 * x * x * x - 2.5 * x * x + 1.0;
    if (x < 2.0)
        return -0.5 * x * x * x + 2.5 * x * x - 4.0 * x + 2.0;
    return 0.0;
}

// The source pixels and fixed-point weights that make each target pixel of one axis.
struct Taps {
    int count = 0;  // per target pixel
    std::vector<int> index;
    std::vector<int32_t> weight;
};

bool MakeTaps(ResampleFilter filter, int srcLength, int dstLength, Taps& taps) {
    const double ratio = static_cast<double>(srcLength) / dstLength;
    // Shrinking widens the kernel, so that every source pixel counts.
    const double widen = std::max(1.0, ratio);
    const double radius = (filter == ResampleFilter::Linear ? 1.0 : 2.0) * widen;
    // Whole positions in (centre - radius, centre + radius].
    taps.count = static_cast<int>(std::ceil(2.0 * radius));
    const size_t total = static_cast<size_t>(dstLength) * static_cast<size_t>(taps.count);
    if (!vorn::TryResize(taps.index, total) || !vorn::TryResize(taps.weight, total))
        return false;
    std::vector<double> raw;
    if (!vorn::TryResize(raw, static_cast<size_t>(taps.count)))
        return false;
    for (int i = 0; i < dstLength; ++i) {
        const double centre = (i + 0.5) * ratio - 0.5;
        const int start = static_cast<int>(std::floor(centre - radius)) + 1;
        double sum = 0.0;
        for (int k = 0; k < taps.count; ++k) {
            raw[k] = Kernel(filter, (start + k - centre) / widen);
            sum += raw[k];
        }
        // Weights that add up to exactly one: flat areas keep their colour.
        int32_t given = 0;
        int largest = 0;
        const size_t base = static_cast<size_t>(i) * taps.count;
        for (int k = 0; k < taps.count; ++k) {
            const auto w = static_cast<int32_t>(std::lround(raw[k] / sum * kWeightOne));
            taps.index[base + k] = std::clamp(start + k, 0, srcLength - 1);
            taps.weight[base + k] = w;
            given += w;
            if (std::abs(w) > std::abs(taps.weight[base + largest]))
                largest = k;
        }
        taps.weight[base + largest] += kWeightOne - given;
    }
    return true;
}

// Sums of weighted channels to a pixel: rounded, clamped, colour never above
// alpha (premultiplied). |sum| stays below 2^31: 255 x 2^14 x the weights'
// absolute sum, which is below 2 for these kernels.
uint32_t Pack(const int32_t acc[4]) {
    int c[4];
    for (int n = 0; n < 4; ++n)
        c[n] = std::clamp((acc[n] + kWeightOne / 2) >> kWeightBits, 0, 255);
    for (int n = 0; n < 3; ++n)
        c[n] = std::min(c[n], c[3]);
    return static_cast<uint32_t>(c[0]) | (static_cast<uint32_t>(c[1]) << 8) |
           (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[3]) << 24);
}

void Accumulate(int32_t acc[4], uint32_t p, int32_t w) {
    acc[0] += static_cast<int32_t>(p & 0xFF) * w;
    acc[1] += static_cast<int32_t>((p >> 8) & 0xFF) * w;
    acc[2] += static_cast<int32_t>((p >> 16) & 0xFF) * w;
    acc[3] += static_cast<int32_t>(p >> 24) * w;
}

// One source row to the target width.
void ScaleRow(const uint32_t* src, uint32_t* dst, const Taps& taps, int dstWidth) {
    const int32_t* weight = taps.weight.data();
    const int* index = taps.index.data();
    for (int x = 0; x < dstWidth; ++x, weight += taps.count, index += taps.count) {
        int32_t acc[4] = {0, 0, 0, 0};
        for (int k = 0; k < taps.count; ++k) {
            if (weight[k] != 0)
                Accumulate(acc, src[index[k]], weight[k]);
        }
        dst[x] = Pack(acc);
    }
}

// Blends two premultiplied pixels, b weighing wb/256: two channels at a time
// in one 32-bit word (each product fits its 16-bit lane).
inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t wb) {
    const uint32_t wa = 256 - wb;
    const uint32_t rb =
        (((a & 0x00FF00FFu) * wa + (b & 0x00FF00FFu) * wb + 0x00800080u) >> 8) & 0x00FF00FFu;
    const uint32_t ag =
        (((a >> 8) & 0x00FF00FFu) * wa + ((b >> 8) & 0x00FF00FFu) * wb + 0x00800080u) & 0xFF00FF00u;
    return rb | ag;
}

// The second tap's weight in 1/256 of each target pixel of a two-tap axis.
std::vector<uint32_t> SecondWeights(const Taps& taps, int length) {
    std::vector<uint32_t> out;
    if (!vorn::TryResize(out, static_cast<size_t>(length)))
        return out;
    for (int i = 0; i < length; ++i) {
        const int32_t w = taps.weight[static_cast<size_t>(i) * 2 + 1];
        out[i] = static_cast<uint32_t>(std::clamp((w + 32) >> 6, 0, 256));
    }
    return out;
}

// The linear filter while enlarging, where every target pixel blends two
// source pixels per axis: the animation's case, many times a second.
bool EnlargeLinear(const uint32_t* src, int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                   const Taps& across, const Taps& down, std::vector<uint32_t>& out) {
    const std::vector<uint32_t> wx = SecondWeights(across, dstWidth);
    const std::vector<uint32_t> wy = SecondWeights(down, dstHeight);
    std::vector<uint32_t> rows;
    if (wx.empty() || wy.empty() ||
        !vorn::TryResize(rows, static_cast<size_t>(dstWidth) * srcHeight))
        return false;
    for (int y = 0; y < srcHeight; ++y) {
        const uint32_t* s = src + static_cast<size_t>(y) * srcWidth;
        uint32_t* d = &rows[static_cast<size_t>(y) * dstWidth];
        const int* index = across.index.data();
        for (int x = 0; x < dstWidth; ++x, index += 2)
            d[x] = Blend(s[index[0]], s[index[1]], wx[x]);
    }
    for (int y = 0; y < dstHeight; ++y) {
        const uint32_t* a =
            &rows[static_cast<size_t>(down.index[static_cast<size_t>(y) * 2]) * dstWidth];
        const uint32_t* b =
            &rows[static_cast<size_t>(down.index[static_cast<size_t>(y) * 2 + 1]) * dstWidth];
        uint32_t* d = &out[static_cast<size_t>(y) * dstWidth];
        const uint32_t w = wy[y];
        for (int x = 0; x < dstWidth; ++x)
            d[x] = Blend(a[x], b[x], w);
    }
    return true;
}

}  // namespace

bool ResamplePixels(const uint32_t* src, int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                    std::vector<uint32_t>& out, ResampleFilter filter) {
    out.clear();
    if (src == nullptr || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return false;
    Taps across, down;
    if (!MakeTaps(filter, srcWidth, dstWidth, across) ||
        !MakeTaps(filter, srcHeight, dstHeight, down) ||
        !vorn::TryResize(out, static_cast<size_t>(dstWidth) * dstHeight)) {
        std::vector<uint32_t>().swap(out);
        return false;
    }
    if (filter == ResampleFilter::Linear && across.count == 2 && down.count == 2) {
        if (EnlargeLinear(src, srcWidth, srcHeight, dstWidth, dstHeight, across, down, out))
            return true;
        std::vector<uint32_t>().swap(out);
        return false;
    }
    std::vector<uint32_t> rows;  // every source row, already at the target width
    std::vector<int32_t> sums;   // one target row's channel sums
    if (!vorn::TryResize(rows, static_cast<size_t>(dstWidth) * srcHeight) ||
        !vorn::TryResize(sums, static_cast<size_t>(dstWidth) * 4)) {
        std::vector<uint32_t>().swap(out);
        return false;
    }
    for (int y = 0; y < srcHeight; ++y) {
        ScaleRow(src + static_cast<size_t>(y) * srcWidth, &rows[static_cast<size_t>(y) * dstWidth],
                 across, dstWidth);
    }
    // Down the columns a row at a time, so that memory is read in order.
    for (int y = 0; y < dstHeight; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const size_t base = static_cast<size_t>(y) * down.count;
        for (int k = 0; k < down.count; ++k) {
            const int32_t w = down.weight[base + k];
            if (w == 0)
                continue;
            const uint32_t* row = &rows[static_cast<size_t>(down.index[base + k]) * dstWidth];
            int32_t* acc = sums.data();
            for (int x = 0; x < dstWidth; ++x, acc += 4)
                Accumulate(acc, row[x], w);
        }
        uint32_t* target = &out[static_cast<size_t>(y) * dstWidth];
        for (int x = 0; x < dstWidth; ++x)
            target[x] = Pack(&sums[static_cast<size_t>(x) * 4]);
    }
    return true;
}

const std::vector<uint32_t>* ScaledImageCache::Get(const std::shared_ptr<const SkinImage>& image,
                                                   int width, int height) {
    if (!image || image->pixels.empty() || static_cast<int64_t>(width) * height > kMaxCachedPixels)
        return nullptr;
    const Key key{image.get(), width, height};
    auto it = m_images.find(key);
    if (it != m_images.end())
        return &it->second->pixels;
    auto entry = std::make_unique<Entry>();
    entry->source = image;
    if (!ResamplePixels(image->pixels.data(), image->width, image->height, width, height,
                        entry->pixels, ResampleFilter::Cubic))
        return nullptr;
    const std::vector<uint32_t>* result = &entry->pixels;
    m_images.emplace(key, std::move(entry));
    return result;
}

}  // namespace TavroLib
