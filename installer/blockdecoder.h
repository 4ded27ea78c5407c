// Decoding one solid block of a 7z archive piece by piece, so that memory
// stays at the coder's dictionary and two small buffers instead of the whole
// block. Covers the shapes the client packages use: LZMA or LZMA2, alone or
// followed by the x86 branch filter, and stored blocks.
#pragma once

#include <functional>
#include <vector>

#include "7z.h"
#include "Lzma2Dec.h"
#include "LzmaDec.h"

namespace vorn {

class BlockDecoder {
  public:
    // Receives decoded bytes; false stops the decoding with SZ_ERROR_WRITE.
    using Sink = std::function<bool(const Byte* data, size_t size)>;

    explicit BlockDecoder(ISzAllocPtr alloc);
    ~BlockDecoder();
    BlockDecoder(const BlockDecoder&) = delete;
    BlockDecoder& operator=(const BlockDecoder&) = delete;

    // False for a block of another shape, which has to be unpacked whole.
    static bool Supports(const CSzArEx& db, UInt32 block);

    // Positions the decoder at the start of block's output.
    SRes Start(const CSzArEx& db, UInt32 block, ILookInStreamPtr stream);
    // The next size bytes of the block's output, handed to sink in pieces.
    SRes Read(UInt64 size, const Sink& sink);

    bool Active() const { return method_ != 0; }
    UInt32 Block() const { return block_; }
    UInt64 Position() const { return position_; }

  private:
    // Decodes up to *size bytes of the main coder's output into dest.
    SRes Produce(Byte* dest, size_t* size);
    void Release();

    ISzAllocPtr alloc_;
    ILookInStreamPtr stream_ = nullptr;
    UInt32 method_ = 0;  // 0: none started
    UInt32 block_ = 0;
    bool filter_ = false;
    bool lzmaReady_ = false;
    bool lzma2Ready_ = false;
    CLzmaDec lzma_;
    CLzma2Dec lzma2_;
    UInt64 packLeft_ = 0;   // input bytes of the block not yet consumed
    UInt64 coderLeft_ = 0;  // output bytes the main coder still owes
    UInt64 position_ = 0;   // output bytes handed out so far
    UInt32 filterPc_ = 0;
    UInt32 filterState_ = 0;
    std::vector<Byte> buffer_;
    size_t ready_ = 0;     // start of the bytes ready to hand out
    size_t readyEnd_ = 0;  // end of them; the filter may hold bytes after it
    size_t filled_ = 0;    // end of the bytes in buffer_
};

}  // namespace vorn
