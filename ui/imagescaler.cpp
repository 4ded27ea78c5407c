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

double CatmullRom(double x) {
    x = std::fabs(x);
    if (x < 1.0)
        return 1.5 * x * x * x - 2.5 * x * x + 1.0;
    if (x < 2.0)
        return -0.5 * x * x * x + 2.5 * x * x - 4.0 * x + 2.0;
    return 0.0;
}

// The source pixels and fixed-point weights that make each target pixel of one axis.
struct Taps {
    int count = 0;  // per target pixel
    std::vector<int> first;
    std::vector<int> index;
    std::vector<int> weight;
};

bool MakeTaps(int srcLength, int dstLength, Taps& taps) {
    const double ratio = static_cast<double>(srcLength) / dstLength;
    const double widen = std::max(1.0, ratio);
    const double radius = 2.0 * widen;
    taps.count = static_cast<int>(std::ceil(radius)) * 2 + 1;
    const size_t total = static_cast<size_t>(dstLength) * static_cast<size_t>(taps.count);
    if (!vorn::TryResize(taps.index, total) || !vorn::TryResize(taps.weight, total))
        return false;
    std::vector<double> raw(static_cast<size_t>(taps.count));
    for (int i = 0; i < dstLength; ++i) {
        const double centre = (i + 0.5) * ratio - 0.5;
        const int start = static_cast<int>(std::floor(centre - radius)) + 1;
        double sum = 0.0;
        for (int k = 0; k < taps.count; ++k) {
            raw[k] = CatmullRom((start + k - centre) / widen);
            sum += raw[k];
        }
        // Weights that add up to exactly one: flat areas keep their colour.
        int given = 0;
        int largest = 0;
        const size_t base = static_cast<size_t>(i) * taps.count;
        for (int k = 0; k < taps.count; ++k) {
            const int w = static_cast<int>(std::lround(raw[k] / sum * kWeightOne));
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

// One pass along rows (step 1) or columns (step = row length): each target
// pixel from the taps of its position, channels clamped, colour never above
// alpha (premultiplied).
void Pass(const uint32_t* src, size_t srcStep, uint32_t* dst, size_t dstStep, const Taps& taps,
          int dstLength) {
    for (int i = 0; i < dstLength; ++i) {
        const size_t base = static_cast<size_t>(i) * taps.count;
        int64_t acc[4] = {0, 0, 0, 0};
        for (int k = 0; k < taps.count; ++k) {
            const int w = taps.weight[base + k];
            if (w == 0)
                continue;
            const uint32_t p = src[static_cast<size_t>(taps.index[base + k]) * srcStep];
            acc[0] += static_cast<int64_t>(p & 0xFF) * w;
            acc[1] += static_cast<int64_t>((p >> 8) & 0xFF) * w;
            acc[2] += static_cast<int64_t>((p >> 16) & 0xFF) * w;
            acc[3] += static_cast<int64_t>(p >> 24) * w;
        }
        int c[4];
        for (int n = 0; n < 4; ++n)
            c[n] = static_cast<int>(
                std::clamp<int64_t>((acc[n] + kWeightOne / 2) >> kWeightBits, 0, 255));
        for (int n = 0; n < 3; ++n)
            c[n] = std::min(c[n], c[3]);
        dst[static_cast<size_t>(i) * dstStep] =
            static_cast<uint32_t>(c[0]) | (static_cast<uint32_t>(c[1]) << 8) |
            (static_cast<uint32_t>(c[2]) << 16) | (static_cast<uint32_t>(c[3]) << 24);
    }
}

}  // namespace

bool ResamplePixels(const uint32_t* src, int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                    std::vector<uint32_t>& out) {
    out.clear();
    if (src == nullptr || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return false;
    Taps across, down;
    std::vector<uint32_t> rows;  // every source row, already at the target width
    if (!MakeTaps(srcWidth, dstWidth, across) || !MakeTaps(srcHeight, dstHeight, down) ||
        !vorn::TryResize(rows, static_cast<size_t>(dstWidth) * srcHeight) ||
        !vorn::TryResize(out, static_cast<size_t>(dstWidth) * dstHeight)) {
        std::vector<uint32_t>().swap(out);
        return false;
    }
    for (int y = 0; y < srcHeight; ++y) {
        Pass(src + static_cast<size_t>(y) * srcWidth, 1, &rows[static_cast<size_t>(y) * dstWidth],
             1, across, dstWidth);
    }
    for (int x = 0; x < dstWidth; ++x)
        Pass(&rows[x], dstWidth, &out[x], dstWidth, down, dstHeight);
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
                        entry->pixels))
        return nullptr;
    const std::vector<uint32_t>* result = &entry->pixels;
    m_images.emplace(key, std::move(entry));
    return result;
}

}  // namespace TavroLib
