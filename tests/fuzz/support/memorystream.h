// A seekable input stream over bytes in memory, in the shape the 7z decoder reads from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "7zTypes.h"

namespace vorn_fuzz {

class MemoryStream {
  public:
    MemoryStream(const uint8_t* data, size_t size);
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    ISeekInStreamPtr Stream() const { return &vt_; }

  private:
    static SRes ReadThunk(ISeekInStreamPtr p, void* buf, size_t* size);
    static SRes SeekThunk(ISeekInStreamPtr p, Int64* pos, ESzSeek origin);
    static MemoryStream* From(ISeekInStreamPtr p);

    // First member: the decoder hands back its address.
    ISeekInStream vt_;
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace vorn_fuzz
