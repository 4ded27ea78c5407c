// Resampling of premultiplied 32-bit pixels for windows drawn at other than
// 96 DPI: a Catmull-Rom cubic or a linear filter, widened when shrinking so
// that every source pixel counts. Done by us rather than by GDI+, whose
// filtered scaling under Wine is slow and differs from Windows'.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace TavroLib {

// Cubic for still images, scaled once; linear for an animation's frames,
// scaled many times a second.
enum class ResampleFilter { Cubic, Linear };

// Scales src (srcWidth x srcHeight, top-down, premultiplied BGRA) to
// dstWidth x dstHeight into out. False when a size is not positive or
// memory runs out (out is then empty).
bool ResamplePixels(const uint32_t* src, int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                    std::vector<uint32_t>& out, ResampleFilter filter = ResampleFilter::Cubic);

struct SkinImage;

// Scaled copies of skin images (which never change), per window: made on
// first use, dropped when the window's DPI changes or it goes.
class ScaledImageCache {
  public:
    // The image's pixels scaled to width x height, or null when they cannot
    // be made. Valid until Clear.
    const std::vector<uint32_t>* Get(const std::shared_ptr<const SkinImage>& image, int width,
                                     int height);
    void Clear() { m_images.clear(); }

  private:
    struct Entry {
        std::shared_ptr<const SkinImage> source;  // keeps the key's address taken
        std::vector<uint32_t> pixels;
    };
    using Key = std::tuple<const SkinImage*, int, int>;
    std::map<Key, std::unique_ptr<Entry>> m_images;
};

}  // namespace TavroLib
