#include "support/memorystream.h"

#include <cstring>

namespace vorn_fuzz {

MemoryStream::MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(size) {
    vt_.Read = &ReadThunk;
    vt_.Seek = &SeekThunk;
}

MemoryStream* MemoryStream::From(ISeekInStreamPtr p) {
    return reinterpret_cast<MemoryStream*>(const_cast<ISeekInStream*>(p));
}

SRes MemoryStream::ReadThunk(ISeekInStreamPtr p, void* buf, size_t* size) {
    MemoryStream* self = From(p);
    const size_t left = self->position_ < self->size_ ? self->size_ - self->position_ : 0;
    const size_t n = *size < left ? *size : left;
    if (n > 0)
        std::memcpy(buf, self->data_ + self->position_, n);
    self->position_ += n;
    *size = n;
    return SZ_OK;
}

// Like a file: a position past the end is allowed, one before the start is not.
SRes MemoryStream::SeekThunk(ISeekInStreamPtr p, Int64* pos, ESzSeek origin) {
    MemoryStream* self = From(p);
    Int64 base = 0;
    if (origin == SZ_SEEK_CUR)
        base = static_cast<Int64>(self->position_);
    else if (origin == SZ_SEEK_END)
        base = static_cast<Int64>(self->size_);
    if ((*pos < 0 && base + *pos < 0) || (*pos > 0 && *pos > INT64_MAX - base))
        return SZ_ERROR_READ;
    const Int64 target = base + *pos;
    self->position_ = static_cast<size_t>(target);
    *pos = target;
    return SZ_OK;
}

}  // namespace vorn_fuzz
