// Animated GIF (GIF87a/GIF89a) decoded one frame at a time onto a single
// persistent canvas: Open() only indexes the frames, DecodeFrame() decodes
// one frame's LZW data, so memory stays one canvas plus small buffers
// whatever the number of frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TavroLib {

class CGifDecoder {
  public:
    static constexpr int kMaxSide = 8192;
    static constexpr int64_t kMaxPixels = 32ll * 1024 * 1024;
    static constexpr size_t kMaxFrames = 10000;  // frames past this are ignored
    static constexpr size_t kNoFrame = static_cast<size_t>(-1);

    // Parses the header and indexes the frames (offsets, rectangles, delays,
    // disposal) without decoding pixels. False when the data is no GIF, the
    // screen is empty or larger than the bounds above, or no frame is found.
    // A file cut short keeps the frames that begin before the cut.
    bool Open(std::vector<unsigned char> bytes);
    void Close();

    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t FrameCount() const { return frames_.size(); }
    // Delay of frame i from its Graphic Control Extension; 100 ms for a delay
    // of 0 or no extension, 0 for an index out of range.
    int FrameDelayMs(size_t i) const;
    // Netscape loop count: 0 loops forever, -1 when the file has none.
    int LoopCount() const { return loopCount_; }

    // Composes frame i onto the canvas: after the previous frame is disposed
    // of when i is the frame after the one shown, otherwise from a cleared
    // canvas through frames 0..i. False for an index out of range, or when
    // the frame's data is damaged or cut short; the canvas then holds what
    // could be decoded and the next frame follows as usual.
    bool DecodeFrame(size_t i);
    // Frame currently on the canvas, kNoFrame before the first DecodeFrame.
    size_t CurrentFrame() const { return current_; }

    // Premultiplied BGRA, Width() * Height(), top-down; nullptr before Open.
    const uint32_t* Canvas() const { return canvas_.empty() ? nullptr : canvas_.data(); }
    // Bytes held: the file, the canvas, the frame index and the work buffers.
    size_t MemoryBytes() const;

  private:
    struct Frame {
        size_t dataOffset = 0;     // first data sub-block, after the LZW code size
        size_t paletteOffset = 0;  // colour table used by the frame
        uint16_t paletteSize = 0;  // entries; 0 when there is none at all
        uint16_t left = 0, top = 0, width = 0, height = 0;
        uint8_t minCodeSize = 0;
        uint8_t disposal = 0;  // 0-3; reserved values act as 0
        bool interlaced = false;
        int16_t transparent = -1;
        int delayMs = 100;
    };
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // clipped to the canvas
        bool Empty() const { return x0 >= x1 || y0 >= y1; }
    };

    Rect ClipRect(const Frame& f) const;
    void ClearCanvas();
    bool Step(size_t i);
    bool Draw(const Frame& f);
    void PutRow(const Frame& f, const uint32_t* palette, int y, size_t count);

    std::vector<unsigned char> bytes_;
    std::vector<Frame> frames_;
    std::vector<uint32_t> canvas_;
    std::vector<uint32_t> saved_;  // canvas under a "restore to previous" frame
    Rect savedRect_;
    std::vector<uint8_t> row_;  // colour indices of the row being decoded
    int width_ = 0, height_ = 0;
    int loopCount_ = -1;
    size_t current_ = kNoFrame;
    bool currentOk_ = false;
};

}  // namespace TavroLib
