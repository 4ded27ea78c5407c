#include "installer/archivestream.h"

#include <algorithm>
#include <cstddef>

namespace vorn {

ArchiveFileStream::ArchiveFileStream() {
    vt_.Read = &ReadThunk;
    vt_.Seek = &SeekThunk;
}

bool ArchiveFileStream::Open(const std::wstring& path) {
    file_.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.Valid();
}

ArchiveFileStream* ArchiveFileStream::From(ISeekInStreamPtr p) {
    static_assert(offsetof(ArchiveFileStream, vt_) == 0, "the interface must come first");
    return reinterpret_cast<ArchiveFileStream*>(const_cast<ISeekInStream*>(p));
}

SRes ArchiveFileStream::ReadThunk(ISeekInStreamPtr p, void* buf, size_t* size) {
    ArchiveFileStream* self = From(p);
    size_t wanted = *size;
    *size = 0;
    auto* out = static_cast<unsigned char*>(buf);
    // ReadFile takes 32-bit counts; a short read at the end of the file is no error.
    while (wanted > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wanted, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(self->file_.Get(), out, chunk, &got, nullptr))
            return SZ_ERROR_READ;
        *size += got;
        out += got;
        wanted -= got;
        if (got < chunk)
            break;
    }
    return SZ_OK;
}

SRes ArchiveFileStream::SeekThunk(ISeekInStreamPtr p, Int64* pos, ESzSeek origin) {
    ArchiveFileStream* self = From(p);
    DWORD method = FILE_BEGIN;
    if (origin == SZ_SEEK_CUR)
        method = FILE_CURRENT;
    else if (origin == SZ_SEEK_END)
        method = FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = *pos;
    LARGE_INTEGER now;
    if (!::SetFilePointerEx(self->file_.Get(), distance, &now, method))
        return SZ_ERROR_READ;
    *pos = now.QuadPart;
    return SZ_OK;
}

}  // namespace vorn
