#include "installer/archiveunpacker.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "7z.h"
#include "7zCrc.h"
#include "installer/blockdecoder.h"
#include "installer/entrypath.h"
#include "util/logger.h"

namespace vorn {
namespace {

constexpr size_t kReadBufferBytes = size_t(1) << 18;

// The decoder's allocator, counting what it holds so that the peak is known.
struct CountingAlloc {
    ISzAlloc vt;
    size_t current = 0;
    size_t peak = 0;

    CountingAlloc() {
        vt.Alloc = &Alloc;
        vt.Free = &Free;
    }
    static CountingAlloc* From(ISzAllocPtr p) {
        return reinterpret_cast<CountingAlloc*>(const_cast<ISzAlloc*>(p));
    }
    // A size header in front of each block lets Free count without a table.
    static void* Alloc(ISzAllocPtr p, size_t size) {
        if (size == 0 || size > SIZE_MAX - sizeof(max_align_t))
            return nullptr;
        auto* block = static_cast<unsigned char*>(std::malloc(size + sizeof(max_align_t)));
        if (block == nullptr)
            return nullptr;
        *reinterpret_cast<size_t*>(block) = size;
        CountingAlloc* self = From(p);
        self->current += size;
        self->peak = std::max(self->peak, self->current);
        return block + sizeof(max_align_t);
    }
    static void Free(ISzAllocPtr p, void* address) {
        if (address == nullptr)
            return;
        auto* block = static_cast<unsigned char*>(address) - sizeof(max_align_t);
        From(p)->current -= *reinterpret_cast<size_t*>(block);
        std::free(block);
    }
};

// Writes the decoder's peak into the caller's figures when it goes.
struct PeakRecorder {
    ExtractStats* stats;
    const CountingAlloc& main;
    const CountingAlloc& temp;
    ~PeakRecorder() {
        if (stats != nullptr)
            stats->peakDecoderBytes = main.peak + temp.peak;
    }
};

// The archive's tables and the cached solid block, released on every way out.
class OpenArchive {
  public:
    explicit OpenArchive(CountingAlloc& alloc) : alloc_(alloc) { SzArEx_Init(&db_); }
    ~OpenArchive() {
        ISzAlloc_Free(&alloc_.vt, block_);
        SzArEx_Free(&db_, &alloc_.vt);
    }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;

    CSzArEx db_;
    UInt32 blockIndex_ = 0xFFFFFFFF;
    Byte* block_ = nullptr;
    size_t blockSize_ = 0;

  private:
    CountingAlloc& alloc_;
};

void InitCrcTable() {
    static std::once_flag once;
    std::call_once(once, [] { CrcGenerateTable(); });
}

std::wstring EntryName(const CSzArEx& db, UInt32 index) {
    const size_t length = SzArEx_GetFileNameUtf16(&db, index, nullptr);
    std::vector<UInt16> units(length + 1, 0);
    SzArEx_GetFileNameUtf16(&db, index, units.data());
    std::wstring name;
    for (size_t i = 0; i < length && units[i] != 0; ++i)
        name += static_cast<wchar_t>(units[i]);
    return name;
}

// Unpacks a file of a block that the piecewise decoder handles straight into
// the file, checking its CRC on the way.
SRes StreamFileOut(BlockDecoder& decoder, const CSzArEx& db, ILookInStreamPtr stream, UInt32 index,
                   const std::wstring& relative, UnpackTarget& target) {
    const UInt32 block = db.FileToFolder[index];
    const UInt64 offset = db.UnpackPositions[index] - db.UnpackPositions[db.FolderToFile[block]];
    if (!decoder.Active() || decoder.Block() != block || decoder.Position() > offset) {
        const SRes res = decoder.Start(db, block, stream);
        if (res != SZ_OK)
            return res;
    }
    if (decoder.Position() < offset) {
        const SRes res =
            decoder.Read(offset - decoder.Position(), [](const Byte*, size_t) { return true; });
        if (res != SZ_OK)
            return res;
    }
    if (!target.BeginFile(relative))
        return SZ_ERROR_WRITE;
    UInt32 crc = CRC_INIT_VAL;
    SRes res = decoder.Read(SzArEx_GetFileSize(&db, index), [&](const Byte* data, size_t size) {
        crc = CrcUpdate(crc, data, size);
        return target.Write(data, size);
    });
    if (res == SZ_OK && SzBitWithVals_Check(&db.CRCs, index) &&
        CRC_GET_DIGEST(crc) != db.CRCs.Vals[index])
        res = SZ_ERROR_CRC;
    if (!target.EndFile(res == SZ_OK) && res == SZ_OK)
        res = SZ_ERROR_WRITE;
    return res;
}

int Fail(const wchar_t* what, const std::wstring& detail) {
    LOG_ERROR(L"Extract failed: %s %s", what, detail.c_str());
    return EXTRACT_FAILED;
}

int Unpack(ISeekInStreamPtr stream, UnpackTarget& target, const ExtractProgress& progress,
           ExtractStats* stats, const std::wstring& archiveName) {
    InitCrcTable();
    CountingAlloc mainAlloc;
    CountingAlloc tempAlloc;
    // The peak is known on every way out, failures included.
    PeakRecorder recorder{stats, mainAlloc, tempAlloc};
    std::vector<Byte> readBuffer(kReadBufferBytes);
    CLookToRead2 look;
    LookToRead2_CreateVTable(&look, False);
    look.buf = readBuffer.data();
    look.bufSize = readBuffer.size();
    look.realStream = stream;
    LookToRead2_INIT(&look);

    OpenArchive archive(mainAlloc);
    const CSzArEx& db = archive.db_;
    SRes res = SzArEx_Open(&archive.db_, &look.vt, &mainAlloc.vt, &tempAlloc.vt);
    if (res != SZ_OK)
        return Fail(L"not a readable 7z archive", archiveName);

    // Every name is checked before the first byte is written.
    const UInt32 count = db.NumFiles;
    std::vector<std::wstring> relative(count);
    for (UInt32 i = 0; i < count; ++i) {
        const std::wstring name = EntryName(db, i);
        if (!MakeEntryRelativePath(name, relative[i]))
            return Fail(L"refused entry name", name);
    }

    BlockDecoder decoder(&mainAlloc.vt);
    for (UInt32 i = 0; i < count; ++i) {
        if (progress)
            progress(static_cast<int>(i * 100.0 / count));
        if (!target.PrepareEntry(relative[i]))
            return Fail(L"link on the way to", target.PathForLog(relative[i]));
        if (SzArEx_IsDir(&db, i)) {
            target.MakeFolder(relative[i]);
            continue;
        }

        const UInt64 fileSize = SzArEx_GetFileSize(&db, i);
        const UInt32 block = db.FileToFolder[i];
        if (fileSize > 0 && stats != nullptr)
            stats->largestBlockBytes =
                std::max(stats->largestBlockBytes, SzAr_GetFolderUnpackSize(&db.db, block));
        if (fileSize > 0 && BlockDecoder::Supports(db, block)) {
            res = StreamFileOut(decoder, db, &look.vt, i, relative[i], target);
            if (res != SZ_OK) {
                LOG_ERROR(L"Extract failed: decoder error %d", static_cast<int>(res));
                return Fail(L"cannot unpack", relative[i]);
            }
        } else {
            // Other shapes (filters such as BCJ2, PPMd) need the whole block at once.
            const Byte* data = nullptr;
            size_t size = 0;
            if (fileSize > 0) {
                if (SzAr_GetFolderUnpackSize(&db.db, block) > kWholeBlockLimit)
                    return Fail(L"block too large to unpack whole for", relative[i]);
                size_t offset = 0;
                res = SzArEx_Extract(&db, &look.vt, i, &archive.blockIndex_, &archive.block_,
                                     &archive.blockSize_, &offset, &size, &mainAlloc.vt,
                                     &tempAlloc.vt);
                if (res != SZ_OK) {
                    LOG_ERROR(L"Extract failed: decoder error %d", static_cast<int>(res));
                    return Fail(L"cannot unpack", relative[i]);
                }
                data = archive.block_ + offset;
            }
            if (!target.BeginFile(relative[i]))
                return Fail(L"cannot write", target.PathForLog(relative[i]));
            const bool written = size == 0 || target.Write(data, size);
            const bool closed = target.EndFile(written);
            if (!written || !closed)
                return Fail(L"cannot write", target.PathForLog(relative[i]));
        }
        if (SzBitWithVals_Check(&db.Attribs, i))
            target.SetAttributes(relative[i], db.Attribs.Vals[i]);
    }
    LOG_INFO(L"Extracted %u entries", static_cast<unsigned>(count));
    return EXTRACT_OK;
}

}  // namespace

int UnpackArchive(ISeekInStreamPtr stream, UnpackTarget& target, const ExtractProgress& progress,
                  ExtractStats* stats, const std::wstring& archiveName) {
    // The tables and names are sized by the archive: running out of memory
    // for them is a damaged archive's failure, not the process's end.
    try {
        return Unpack(stream, target, progress, stats, archiveName);
    } catch (const std::bad_alloc&) {
        return Fail(L"out of memory unpacking", archiveName);
    } catch (const std::length_error&) {
        return Fail(L"out of memory unpacking", archiveName);
    }
}

}  // namespace vorn
