// The process-wide skin archive: a zip archive opened from a private copy of
// its bytes, read entry by entry. Every member is safe to call from any thread.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace TavroLib {

class CZipResource {
  public:
    // Entries whose uncompressed size is larger than this are refused.
    static constexpr size_t kMaxEntrySize = 64u * 1024u * 1024u;

    static CZipResource& Instance();

    CZipResource() = default;
    ~CZipResource();
    CZipResource(const CZipResource&) = delete;
    CZipResource& operator=(const CZipResource&) = delete;

    // Copies the bytes and opens them as a zip archive under name; the
    // archive held before is closed either way. False if not a readable zip.
    bool OpenMemory(const wchar_t* name, const void* data, size_t size);
    void Close();
    bool IsOpen() const;
    std::wstring Name() const;
    // Archives opened successfully so far by this object.
    unsigned OpenCount() const;
    // Whole uncompressed content of the entry whose name (UTF-8 in the
    // archive) equals entry exactly. False when missing, corrupt (CRC, short
    // data) or larger than kMaxEntrySize; out is then empty.
    bool ReadEntry(const wchar_t* entry, std::vector<unsigned char>& out) const;
    bool HasEntry(const wchar_t* entry) const;

    // The state behind minizip's file functions: the copied bytes and a position.
    struct MemoryFile {
        std::vector<unsigned char> bytes;
        unsigned long long position = 0;
        bool shortRead = false;  // the last read hit the end of the bytes
    };

  private:
    void CloseLocked();

    mutable std::mutex lock_;
    MemoryFile file_;
    void* archive_ = nullptr;  // unzFile; minizip moves its position, hence mutable use
    std::wstring name_;
    unsigned openCount_ = 0;
};

}  // namespace TavroLib
