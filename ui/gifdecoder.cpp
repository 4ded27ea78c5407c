#include "ui/gifdecoder.h"

#include <algorithm>
#include <cstring>

#include "util/allocation.h"

namespace TavroLib {
namespace {

constexpr int kMaxCodes = 4096;  // 12-bit LZW codes

uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Skips a chain of data sub-blocks starting at p; false if it runs past the end.
bool SkipSubBlocks(const std::vector<unsigned char>& d, size_t& p) {
    while (p < d.size()) {
        const size_t n = d[p++];
        if (n == 0)
            return true;
        if (n > d.size() - p)
            return false;
        p += n;
    }
    return false;
}

// Reads LZW codes, least significant bit first, across the data sub-blocks.
class CodeReader {
  public:
    CodeReader(const std::vector<unsigned char>& d, size_t offset) : d_(d), pos_(offset) {}

    // False at the end of the data (terminator block or end of file).
    bool Read(int size, int& code) {
        while (count_ < size) {
            if (blockLeft_ == 0) {
                if (pos_ >= d_.size())
                    return false;
                blockLeft_ = d_[pos_++];
                if (blockLeft_ == 0)
                    return false;
            }
            if (pos_ >= d_.size())
                return false;
            bits_ |= uint32_t(d_[pos_++]) << count_;
            --blockLeft_;
            count_ += 8;
        }
        code = static_cast<int>(bits_ & ((1u << size) - 1));
        bits_ >>= size;
        count_ -= size;
        return true;
    }

  private:
    const std::vector<unsigned char>& d_;
    size_t pos_;
    size_t blockLeft_ = 0;
    uint32_t bits_ = 0;
    int count_ = 0;
};

// Rows of a frame in the order the data delivers them (interlaced: the four passes).
class RowOrder {
  public:
    RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {
        if (interlaced_)
            Settle();
    }
    bool Done() const { return y_ >= height_; }
    int Row() const { return y_; }
    // True while the remaining rows can still include one above limit.
    bool AnyBelow(int limit) const {
        if (Done())
            return false;
        if (!interlaced_ || pass_ == 3)
            return y_ < limit;
        return true;  // later passes start again near the top
    }
    void Next() {
        y_ += interlaced_ ? kStep[pass_] : 1;
        if (interlaced_)
            Settle();
    }

  private:
    void Settle() {
        while (y_ >= height_ && pass_ < 3) {
            ++pass_;
            y_ = kStart[pass_];
        }
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    int height_;
    bool interlaced_;
    int pass_ = 0;
    int y_ = 0;
};

}  // namespace

bool CGifDecoder::Open(std::vector<unsigned char> bytes) {
    Close();
    const std::vector<unsigned char>& d = bytes;
    if (d.size() < 13)
        return false;
    if (std::memcmp(d.data(), "GIF87a", 6) != 0 && std::memcmp(d.data(), "GIF89a", 6) != 0) {
        return false;
    }
    const int width = Le16(&d[6]), height = Le16(&d[8]);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        int64_t(width) * height > kMaxPixels) {
        return false;
    }
    size_t p = 13;
    size_t globalOffset = 0;
    uint16_t globalSize = 0;
    if ((d[10] & 0x80) != 0) {
        globalSize = static_cast<uint16_t>(2u << (d[10] & 7));
        if (d.size() - p < size_t(globalSize) * 3)
            return false;
        globalOffset = p;
        p += size_t(globalSize) * 3;
    }

    std::vector<Frame> frames;
    Frame pending;  // carries the last Graphic Control Extension to the next image
    int loopCount = -1;
    while (p < d.size() && frames.size() < kMaxFrames) {
        const unsigned char kind = d[p++];
        if (kind == 0x3B)
            break;  // trailer
        if (kind == 0x21) {
            if (p >= d.size())
                break;
            const unsigned char label = d[p++];
            size_t q = p;
            if (label == 0xF9 && q + 5 <= d.size() && d[q] >= 4) {
                const unsigned char packed = d[q + 1];
                const int delay = Le16(&d[q + 2]);
                pending.delayMs = delay == 0 ? 100 : delay * 10;
                const int disposal = (packed >> 2) & 7;
                pending.disposal = static_cast<uint8_t>(disposal <= 3 ? disposal : 0);
                pending.transparent = (packed & 1) != 0 ? d[q + 4] : -1;
            } else if (label == 0xFF && q + 12 <= d.size() && d[q] == 11 &&
                       (std::memcmp(&d[q + 1], "NETSCAPE2.0", 11) == 0 ||
                        std::memcmp(&d[q + 1], "ANIMEXTS1.0", 11) == 0)) {
                const size_t s = q + 12;
                if (s + 4 <= d.size() && d[s] >= 3 && d[s + 1] == 1)
                    loopCount = Le16(&d[s + 2]);
            }
            if (!SkipSubBlocks(d, p))
                break;
            continue;
        }
        if (kind != 0x2C)
            break;  // unknown block: the rest cannot be read
        if (d.size() - p < 10)
            break;
        Frame f = pending;
        pending = Frame();
        f.left = Le16(&d[p]);
        f.top = Le16(&d[p + 2]);
        f.width = Le16(&d[p + 4]);
        f.height = Le16(&d[p + 6]);
        const unsigned char packed = d[p + 8];
        f.interlaced = (packed & 0x40) != 0;
        p += 9;
        if ((packed & 0x80) != 0) {
            const uint16_t n = static_cast<uint16_t>(2u << (packed & 7));
            if (d.size() - p < size_t(n) * 3)
                break;
            f.paletteOffset = p;
            f.paletteSize = n;
            p += size_t(n) * 3;
        } else {
            f.paletteOffset = globalOffset;
            f.paletteSize = globalSize;
        }
        if (p >= d.size())
            break;
        f.minCodeSize = d[p++];
        f.dataOffset = p;
        frames.push_back(f);
        if (!SkipSubBlocks(d, p))
            break;  // cut short: the frame keeps what is there
    }
    if (frames.empty())
        return false;

    // The canvas is sized by the file: without the memory for it, no GIF.
    if (!vorn::TryAssign(canvas_, size_t(width) * height, 0u))
        return false;
    bytes_ = std::move(bytes);
    frames_ = std::move(frames);
    width_ = width;
    height_ = height;
    loopCount_ = loopCount;
    return true;
}

void CGifDecoder::Close() {
    std::vector<unsigned char>().swap(bytes_);
    std::vector<Frame>().swap(frames_);
    std::vector<uint32_t>().swap(canvas_);
    std::vector<uint32_t>().swap(saved_);
    std::vector<uint8_t>().swap(row_);
    savedRect_ = Rect();
    width_ = height_ = 0;
    loopCount_ = -1;
    current_ = kNoFrame;
    currentOk_ = false;
}

int CGifDecoder::FrameDelayMs(size_t i) const {
    return i < frames_.size() ? frames_[i].delayMs : 0;
}

size_t CGifDecoder::MemoryBytes() const {
    return bytes_.capacity() + frames_.capacity() * sizeof(Frame) +
           canvas_.capacity() * sizeof(uint32_t) + saved_.capacity() * sizeof(uint32_t) +
           row_.capacity() + sizeof(*this);
}

CGifDecoder::Rect CGifDecoder::ClipRect(const Frame& f) const {
    Rect r;
    r.x0 = std::min<int>(f.left, width_);
    r.y0 = std::min<int>(f.top, height_);
    r.x1 = std::min<int>(f.left + f.width, width_);
    r.y1 = std::min<int>(f.top + f.height, height_);
    return r;
}

void CGifDecoder::ClearCanvas() {
    std::fill(canvas_.begin(), canvas_.end(), 0u);
    current_ = kNoFrame;
    currentOk_ = false;
}

bool CGifDecoder::DecodeFrame(size_t i) {
    if (i >= frames_.size())
        return false;
    if (i == current_)
        return currentOk_;
    size_t k = i;
    if (current_ == kNoFrame || i != current_ + 1) {
        // Any other frame is reached by composing from the first one.
        ClearCanvas();
        k = 0;
    }
    bool ok = true;
    for (; k <= i; ++k)
        ok = Step(k);
    return ok;
}

bool CGifDecoder::Step(size_t i) {
    if (current_ != kNoFrame) {
        const Frame& prev = frames_[current_];
        if (prev.disposal == 2) {
            // Restore to background: we keep the background transparent.
            const Rect r = ClipRect(prev);
            for (int y = r.y0; y < r.y1; ++y) {
                std::fill_n(canvas_.data() + size_t(y) * width_ + r.x0, r.x1 - r.x0, 0u);
            }
        } else if (prev.disposal == 3) {
            const Rect& r = savedRect_;
            const int w = r.x1 - r.x0;
            for (int y = r.y0; y < r.y1; ++y) {
                std::memcpy(canvas_.data() + size_t(y) * width_ + r.x0,
                            saved_.data() + size_t(y - r.y0) * w, size_t(w) * 4);
            }
        }
    }
    const Frame& f = frames_[i];
    if (f.disposal == 3) {
        // Only the frame's own rectangle is kept, not a second canvas.
        savedRect_ = ClipRect(f);
        const Rect& r = savedRect_;
        const int w = std::max(0, r.x1 - r.x0), h = std::max(0, r.y1 - r.y0);
        // Without memory for the copy, nothing is restored after the frame;
        // an empty rectangle (a frame past an edge) has nothing to keep.
        if (savedRect_.Empty() || !vorn::TryResize(saved_, size_t(w) * h))
            savedRect_ = Rect();
        for (int y = r.y0; y < r.y1; ++y) {
            std::memcpy(saved_.data() + size_t(y - r.y0) * w,
                        canvas_.data() + size_t(y) * width_ + r.x0, size_t(w) * 4);
        }
    }
    current_ = i;
    currentOk_ = Draw(f);
    return currentOk_;
}

void CGifDecoder::PutRow(const Frame& f, const uint32_t* palette, int y, size_t count) {
    const int cy = f.top + y;
    if (cy >= height_ || f.left >= width_)
        return;
    const size_t visible = std::min<size_t>(count, size_t(width_ - f.left));
    uint32_t* dst = canvas_.data() + size_t(cy) * width_ + f.left;
    const uint8_t* src = row_.data();
    if (f.transparent < 0) {
        for (size_t x = 0; x < visible; ++x)
            dst[x] = palette[src[x]];
    } else {
        const uint8_t t = static_cast<uint8_t>(f.transparent);
        for (size_t x = 0; x < visible; ++x) {
            if (src[x] != t)
                dst[x] = palette[src[x]];
        }
    }
}

bool CGifDecoder::Draw(const Frame& f) {
    if (f.width == 0 || f.height == 0)
        return true;
    if (f.left >= width_ || f.top >= height_)
        return true;  // wholly off the screen
    if (f.minCodeSize < 1 || f.minCodeSize > 8)
        return false;

    // Indices past the colour table show opaque black.
    uint32_t palette[256];
    std::fill_n(palette, 256, 0xFF000000u);
    for (int c = 0; c < f.paletteSize && c < 256; ++c) {
        const unsigned char* rgb = &bytes_[f.paletteOffset + size_t(c) * 3];
        palette[c] = 0xFF000000u | (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
    }

    uint16_t prefix[kMaxCodes];
    uint8_t suffix[kMaxCodes];
    uint8_t first[kMaxCodes];
    uint16_t length[kMaxCodes];
    uint8_t stack[kMaxCodes];
    const int clear = 1 << f.minCodeSize;
    const int end = clear + 1;
    for (int c = 0; c < clear; ++c) {
        prefix[c] = 0;
        suffix[c] = first[c] = static_cast<uint8_t>(c);
        length[c] = 1;
    }

    if (!vorn::TryResize(row_, f.width))
        return false;
    const size_t rowWidth = f.width;
    size_t filled = 0;
    RowOrder rows(f.height, f.interlaced);
    CodeReader reader(bytes_, f.dataOffset);
    int codeSize = f.minCodeSize + 1;
    int next = clear + 2;
    int prev = -1;
    // Damaged data: what was decoded of the current row still shows.
    auto fail = [&] {
        if (filled > 0)
            PutRow(f, palette, rows.Row(), filled);
        return false;
    };
    for (;;) {
        if (!rows.AnyBelow(height_ - f.top))
            return true;  // the rest falls below the canvas
        int code = 0;
        if (!reader.Read(codeSize, code))
            break;
        if (code == clear) {
            codeSize = f.minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end)
            break;
        if (prev < 0) {
            if (code > clear)
                return fail();
        } else if (code <= next && next < kMaxCodes) {
            // A new entry: the previous string plus the first byte of this one
            // (of the previous one when the code is the entry being defined).
            const int head = code < next ? first[code] : first[prev];
            prefix[next] = static_cast<uint16_t>(prev);
            suffix[next] = static_cast<uint8_t>(head);
            first[next] = first[prev];
            length[next] = static_cast<uint16_t>(length[prev] + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        } else if (code >= next) {
            return fail();  // undefined code
        }
        prev = code;

        // Emit the string of code, last byte first.
        const int n = length[code];
        int c = code;
        for (int k = n - 1; k >= 0; --k) {
            stack[k] = suffix[c];
            c = prefix[c];
        }
        int k = 0;
        while (k < n) {
            const size_t take = std::min<size_t>(size_t(n - k), rowWidth - filled);
            std::memcpy(row_.data() + filled, stack + k, take);
            filled += take;
            k += static_cast<int>(take);
            if (filled == rowWidth) {
                PutRow(f, palette, rows.Row(), filled);
                filled = 0;
                rows.Next();
                if (rows.Done())
                    return true;  // surplus data is ignored
            }
        }
    }
    return fail();  // the data ended before the last row
}

}  // namespace TavroLib
