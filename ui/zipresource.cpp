#define VORN_LOG_SOURCE L"zipresource.cpp"
#include "ui/zipresource.h"

#include <minizip/unzip.h>

#include <cstring>

#include "util/allocation.h"
#include "util/logger.h"
#include "util/string_util.h"

namespace TavroLib {
namespace {

using MemoryFile = CZipResource::MemoryFile;

// minizip's file functions over MemoryFile; the "file name" is ignored, the
// opaque pointer is the file itself.
voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0)
        return nullptr;
    auto* file = static_cast<MemoryFile*>(opaque);
    file->position = 0;
    file->shortRead = false;
    return file;
}

uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* file = static_cast<MemoryFile*>(stream);
    const unsigned long long total = file->bytes.size();
    const unsigned long long left = file->position < total ? total - file->position : 0;
    const uLong n = left < size ? static_cast<uLong>(left) : size;
    if (n > 0)
        std::memcpy(buf, file->bytes.data() + file->position, n);
    file->position += n;
    file->shortRead = n < size;
    return n;
}

uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream) {
    return static_cast<MemoryFile*>(stream)->position;
}

long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* file = static_cast<MemoryFile*>(stream);
    const long long total = static_cast<long long>(file->bytes.size());
    long long base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = static_cast<long long>(file->position);
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = total;
            break;
        default:
            return -1;
    }
    // A relative offset may be a negative value in two's complement; a target
    // outside the bytes is refused, whatever a damaged directory asks for.
    const long long delta = static_cast<long long>(offset);
    if (delta > total || delta < -total)
        return -1;
    const long long target = base + delta;
    if (target < 0 || target > total)
        return -1;
    file->position = static_cast<unsigned long long>(target);
    return 0;
}

int ZCALLBACK MemClose(voidpf, voidpf) {
    return 0;
}
// minizip takes a short read for a clean end of file (and zeros for the bytes
// it did not get) unless the stream reports an error, so a cut archive must.
int ZCALLBACK MemError(voidpf, voidpf stream) {
    return static_cast<MemoryFile*>(stream)->shortRead ? 1 : 0;
}

}  // namespace

CZipResource& CZipResource::Instance() {
    static CZipResource instance;
    return instance;
}

CZipResource::~CZipResource() {
    std::lock_guard<std::mutex> guard(lock_);
    CloseLocked();
}

bool CZipResource::OpenMemory(const wchar_t* name, const void* data, size_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    CloseLocked();
    if (data == nullptr || size == 0)
        return false;
    if (!vorn::TryResize(file_.bytes, size)) {
        LOG_ERROR(L"Open zip from memory failed: no memory for %u bytes",
                  static_cast<unsigned>(size));
        return false;
    }
    std::memcpy(file_.bytes.data(), data, size);
    file_.position = 0;

    zlib_filefunc64_def functions = {};
    functions.zopen64_file = MemOpen;
    functions.zread_file = MemRead;
    functions.zwrite_file = MemWrite;
    functions.ztell64_file = MemTell;
    functions.zseek64_file = MemSeek;
    functions.zclose_file = MemClose;
    functions.zerror_file = MemError;
    functions.opaque = &file_;
    unzFile archive = unzOpen2_64("membuffer", &functions);
    if (archive == nullptr) {
        LOG_ERROR(L"Open zip from memory failed, %u bytes", static_cast<unsigned>(size));
        std::vector<unsigned char>().swap(file_.bytes);
        return false;
    }
    archive_ = archive;
    name_ = name != nullptr ? name : L"";
    ++openCount_;
    return true;
}

void CZipResource::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    CloseLocked();
}

void CZipResource::CloseLocked() {
    if (archive_ != nullptr) {
        unzClose(static_cast<unzFile>(archive_));
        archive_ = nullptr;
    }
    std::vector<unsigned char>().swap(file_.bytes);
    file_.position = 0;
    name_.clear();
}

bool CZipResource::IsOpen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return archive_ != nullptr;
}

std::wstring CZipResource::Name() const {
    std::lock_guard<std::mutex> guard(lock_);
    return name_;
}

unsigned CZipResource::OpenCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return openCount_;
}

bool CZipResource::HasEntry(const wchar_t* entry) const {
    if (entry == nullptr || *entry == L'\0')
        return false;
    const std::string utf8 = vorn::WideToUtf8(entry);
    std::lock_guard<std::mutex> guard(lock_);
    if (archive_ == nullptr || utf8.empty())
        return false;
    return unzLocateFile(static_cast<unzFile>(archive_), utf8.c_str(), 1) == UNZ_OK;
}

bool CZipResource::ReadEntry(const wchar_t* entry, std::vector<unsigned char>& out) const {
    out.clear();
    if (entry == nullptr || *entry == L'\0')
        return false;
    const std::string utf8 = vorn::WideToUtf8(entry);
    if (utf8.empty())
        return false;

    std::lock_guard<std::mutex> guard(lock_);
    if (archive_ == nullptr)
        return false;
    unzFile archive = static_cast<unzFile>(archive_);
    // Case-sensitive: entry names are matched exactly.
    if (unzLocateFile(archive, utf8.c_str(), 1) != UNZ_OK)
        return false;
    unz_file_info64 info = {};
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return false;
    }
    // Encrypted entries cannot be read: there is no password.
    if ((info.flag & 1u) != 0)
        return false;
    if (info.uncompressed_size > kMaxEntrySize) {
        LOG_ERROR(L"Zip entry too large: %s", entry);
        return false;
    }
    if (unzOpenCurrentFile(archive) != UNZ_OK)
        return false;

    const size_t expected = static_cast<size_t>(info.uncompressed_size);
    std::vector<unsigned char> data;
    if (!vorn::TryResize(data, expected)) {
        unzCloseCurrentFile(archive);
        LOG_ERROR(L"Zip entry too large for the memory left: %s", entry);
        return false;
    }
    size_t got = 0;
    bool ok = true;
    while (got < data.size()) {
        const size_t want = data.size() - got;
        const unsigned chunk = want > (1u << 20) ? (1u << 20) : static_cast<unsigned>(want);
        const int n = unzReadCurrentFile(archive, data.data() + got, chunk);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    // minizip checks the CRC on close once the whole entry has been read.
    const int closed = unzCloseCurrentFile(archive);
    if (!ok || got != expected || closed != UNZ_OK) {
        LOG_ERROR(L"Zip entry unreadable: %s", entry);
        return false;
    }
    out.swap(data);
    return true;
}

}  // namespace TavroLib
