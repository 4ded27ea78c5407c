#include "installer/archiveextractor.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "7z.h"
#include "7zCrc.h"
#include "installer/archivestream.h"
#include "installer/blockdecoder.h"
#include "installer/entrypath.h"
#include "util/logger.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "util/win_handle.h"

namespace {

constexpr size_t kReadBufferBytes = size_t(1) << 18;

// Windows attributes a plain file can carry; the rest (folder, link, the
// upper bits that hold a Unix mode) describe the entry, not the file.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

bool IsLink(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Creates the folders on the way to relative, level by level; false when one
// of them is a link, which could lead out of the output folder.
bool MakeParentFolders(const std::wstring& folder, const std::wstring& relative) {
    for (size_t sep = relative.find(L'\\'); sep != std::wstring::npos;
         sep = relative.find(L'\\', sep + 1)) {
        const std::wstring path = folder + relative.substr(0, sep);
        ::CreateDirectoryW(path.c_str(), nullptr);
        if (IsLink(path))
            return false;
    }
    return true;
}

HANDLE CreateOutputFile(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED)
        return h;
    // A read-only, hidden or system file of an earlier installation is replaced too.
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0)
        return h;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const Byte* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

bool WriteWholeFile(const std::wstring& path, const Byte* data, size_t size) {
    vorn::UniqueHandle file(CreateOutputFile(path));
    return file && WriteAll(file.Get(), data, size);
}

// Unpacks a file of a block that the piecewise decoder handles straight into
// the file, checking its CRC on the way.
SRes StreamFileOut(vorn::BlockDecoder& decoder, const CSzArEx& db, ILookInStreamPtr stream,
                   UInt32 index, const std::wstring& path) {
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
    vorn::UniqueHandle file(CreateOutputFile(path));
    if (!file)
        return SZ_ERROR_WRITE;
    UInt32 crc = CRC_INIT_VAL;
    SRes res = decoder.Read(SzArEx_GetFileSize(&db, index), [&](const Byte* data, size_t size) {
        crc = CrcUpdate(crc, data, size);
        return WriteAll(file.Get(), data, size);
    });
    if (res == SZ_OK && SzBitWithVals_Check(&db.CRCs, index) &&
        CRC_GET_DIGEST(crc) != db.CRCs.Vals[index])
        res = SZ_ERROR_CRC;
    if (res != SZ_OK) {
        file.Reset();
        ::DeleteFileW(path.c_str());
    }
    return res;
}

int Fail(const wchar_t* what, const std::wstring& detail) {
    LOG_ERROR(L"Extract failed: %s %s", what, detail.c_str());
    return EXTRACT_FAILED;
}

}  // namespace

int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder,
                   const ExtractProgress& progress, ExtractStats* stats) {
    if (archivePath.empty())
        return EXTRACT_NO_INPUT;
    std::wstring folder = outputFolder;
    if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/'))
        folder += L'\\';
    if (!vorn::IsDirectory(folder))
        return EXTRACT_NO_INPUT;

    vorn::ArchiveFileStream file;
    if (!file.Open(archivePath))
        return Fail(L"cannot open", archivePath);

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
    look.realStream = file.Stream();
    LookToRead2_INIT(&look);

    OpenArchive archive(mainAlloc);
    const CSzArEx& db = archive.db_;
    SRes res = SzArEx_Open(&archive.db_, &look.vt, &mainAlloc.vt, &tempAlloc.vt);
    if (res != SZ_OK)
        return Fail(L"not a readable 7z archive", archivePath);

    // Every name is checked before the first byte is written.
    const UInt32 count = db.NumFiles;
    std::vector<std::wstring> relative(count);
    for (UInt32 i = 0; i < count; ++i) {
        const std::wstring name = EntryName(db, i);
        if (!vorn::MakeEntryRelativePath(name, relative[i]))
            return Fail(L"refused entry name", name);
    }

    vorn::BlockDecoder decoder(&mainAlloc.vt);
    for (UInt32 i = 0; i < count; ++i) {
        if (progress)
            progress(static_cast<int>(i * 100.0 / count));
        const std::wstring path = folder + relative[i];
        if (!MakeParentFolders(folder, relative[i]) || IsLink(path))
            return Fail(L"link on the way to", path);
        if (SzArEx_IsDir(&db, i)) {
            ::CreateDirectoryW(path.c_str(), nullptr);
            continue;
        }

        const UInt64 fileSize = SzArEx_GetFileSize(&db, i);
        const UInt32 block = db.FileToFolder[i];
        if (fileSize > 0 && stats != nullptr)
            stats->largestBlockBytes =
                std::max(stats->largestBlockBytes, SzAr_GetFolderUnpackSize(&db.db, block));
        if (fileSize > 0 && vorn::BlockDecoder::Supports(db, block)) {
            res = StreamFileOut(decoder, db, &look.vt, i, path);
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
            if (!WriteWholeFile(path, data, size))
                return Fail(L"cannot write", path);
        }
        if (SzBitWithVals_Check(&db.Attribs, i)) {
            const DWORD attributes = db.Attribs.Vals[i] & kSettableAttributes;
            ::SetFileAttributesW(path.c_str(),
                                 attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
        }
    }
    LOG_INFO(L"Extracted %u entries", static_cast<unsigned>(count));
    return EXTRACT_OK;
}

int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder, HWND window) {
    return ExtractArchive(archivePath, outputFolder, [window](int percent) {
        if (window != nullptr)
            ::SendMessageW(window, WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
    });
}

int ExtractArchive(const char* archivePath, const std::wstring& outputFolder, HWND window) {
    if (archivePath == nullptr || archivePath[0] == '\0')
        return EXTRACT_NO_INPUT;
    const std::wstring wide = vorn::AnsiToWide(archivePath);
    if (wide.empty())
        return EXTRACT_FAILED;
    return ExtractArchive(wide, outputFolder, window);
}
