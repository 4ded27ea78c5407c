// A seekable input stream over a file opened through its wide path, in the
// shape the 7z decoder reads from.
#pragma once

#include <string>

#include "7zTypes.h"
#include "util/win_handle.h"

namespace vorn {

class ArchiveFileStream {
  public:
    ArchiveFileStream();
    ArchiveFileStream(const ArchiveFileStream&) = delete;
    ArchiveFileStream& operator=(const ArchiveFileStream&) = delete;

    // Read access, shared for reading; false when the file cannot be opened.
    bool Open(const std::wstring& path);

    // The decoder's view of this stream; valid as long as the object lives.
    ISeekInStreamPtr Stream() const { return &vt_; }

  private:
    static SRes ReadThunk(ISeekInStreamPtr p, void* buf, size_t* size);
    static SRes SeekThunk(ISeekInStreamPtr p, Int64* pos, ESzSeek origin);
    static ArchiveFileStream* From(ISeekInStreamPtr p);

    // First member: the decoder hands back its address.
    ISeekInStream vt_;
    UniqueHandle file_;
};

}  // namespace vorn
