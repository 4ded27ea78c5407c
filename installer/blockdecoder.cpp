#include "installer/blockdecoder.h"

#include <algorithm>
#include <cstring>

#include "Bra.h"

namespace vorn {
namespace {

constexpr UInt32 kCopy = 0;
constexpr UInt32 kLzma = 0x030101;
constexpr UInt32 kLzma2 = 0x21;
constexpr UInt32 kBcjX86 = 0x03030103;
constexpr size_t kBufferBytes = size_t(1) << 16;
constexpr size_t kFilterLookahead = 4;

bool ReadShape(const CSzArEx& db, UInt32 block, CSzFolder& folder) {
    CSzData sd;
    sd.Data = db.db.CodersData + db.db.FoCodersOffsets[block];
    sd.Size = db.db.FoCodersOffsets[block + 1] - db.db.FoCodersOffsets[block];
    return SzGetNextFolderItem(&folder, &sd) == SZ_OK;
}

bool IsMainMethod(const CSzCoderInfo& c) {
    return c.NumStreams == 1 &&
           (c.MethodID == kCopy || c.MethodID == kLzma || c.MethodID == kLzma2);
}

// The same shapes the archive's own folder check accepts for one and two coders.
bool IsSupportedShape(const CSzFolder& f) {
    if (f.NumCoders == 1)
        return IsMainMethod(f.Coders[0]) && f.NumPackStreams == 1 && f.PackStreams[0] == 0 &&
               f.NumBonds == 0;
    if (f.NumCoders == 2)
        return IsMainMethod(f.Coders[0]) && f.Coders[1].MethodID == kBcjX86 &&
               f.Coders[1].NumStreams == 1 && f.Coders[1].PropsSize == 0 && f.NumPackStreams == 1 &&
               f.PackStreams[0] == 0 && f.NumBonds == 1 && f.Bonds[0].InIndex == 1 &&
               f.Bonds[0].OutIndex == 0;
    return false;
}

}  // namespace

BlockDecoder::BlockDecoder(ISzAllocPtr alloc) : alloc_(alloc), buffer_(kBufferBytes) {
    LzmaDec_Construct(&lzma_);
    Lzma2Dec_Construct(&lzma2_);
}

BlockDecoder::~BlockDecoder() {
    Release();
}

void BlockDecoder::Release() {
    if (lzmaReady_)
        LzmaDec_Free(&lzma_, alloc_);
    if (lzma2Ready_)
        Lzma2Dec_Free(&lzma2_, alloc_);
    lzmaReady_ = lzma2Ready_ = false;
    method_ = 0;
}

bool BlockDecoder::Supports(const CSzArEx& db, UInt32 block) {
    CSzFolder folder;
    return block < db.db.NumFolders && ReadShape(db, block, folder) && IsSupportedShape(folder);
}

SRes BlockDecoder::Start(const CSzArEx& db, UInt32 block, ILookInStreamPtr stream) {
    Release();
    CSzFolder folder;
    if (block >= db.db.NumFolders || !ReadShape(db, block, folder) || !IsSupportedShape(folder))
        return SZ_ERROR_UNSUPPORTED;
    const CSzCoderInfo& main = folder.Coders[0];
    const Byte* props = db.db.CodersData + db.db.FoCodersOffsets[block] + main.PropsOffset;
    if (main.MethodID == kLzma) {
        const SRes res = LzmaDec_Allocate(&lzma_, props, main.PropsSize, alloc_);
        if (res != SZ_OK)
            return res;
        lzmaReady_ = true;
        LzmaDec_Init(&lzma_);
    } else if (main.MethodID == kLzma2) {
        if (main.PropsSize != 1)
            return SZ_ERROR_UNSUPPORTED;
        const SRes res = Lzma2Dec_Allocate(&lzma2_, props[0], alloc_);
        if (res != SZ_OK)
            return res;
        lzma2Ready_ = true;
        Lzma2Dec_Init(&lzma2_);
    }
    const UInt64* packPositions = db.db.PackPositions + db.db.FoStartPackStreamIndex[block];
    const SRes res = LookInStream_SeekTo(stream, db.dataPos + packPositions[0]);
    if (res != SZ_OK)
        return res;
    stream_ = stream;
    packLeft_ = packPositions[1] - packPositions[0];
    coderLeft_ = db.db.CoderUnpackSizes[db.db.FoToCoderUnpackSizes[block]];
    if (main.MethodID == kCopy && packLeft_ != coderLeft_)
        return SZ_ERROR_DATA;
    method_ = main.MethodID == kCopy ? 0xFFFFFFFF : main.MethodID;
    block_ = block;
    filter_ = folder.NumCoders == 2;
    filterPc_ = 0;
    filterState_ = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
    position_ = 0;
    ready_ = readyEnd_ = filled_ = 0;
    return SZ_OK;
}

SRes BlockDecoder::Produce(Byte* dest, size_t* size) {
    size_t want = static_cast<size_t>(std::min<UInt64>(*size, coderLeft_));
    size_t produced = 0;
    while (produced < want) {
        // With no input left the coder still gets a valid (empty) buffer:
        // the SDK does pointer arithmetic on it.
        static const Byte kNoInput = 0;
        const void* in = &kNoInput;
        size_t avail = static_cast<size_t>(std::min<UInt64>(packLeft_, kBufferBytes));
        if (avail > 0) {
            const SRes res = ILookInStream_Look(stream_, &in, &avail);
            if (res != SZ_OK)
                return res;
        }
        SizeT inUsed = avail;
        SizeT outLen = want - produced;
        if (method_ == 0xFFFFFFFF) {
            outLen = inUsed = std::min<SizeT>(avail, outLen);
            std::memcpy(dest + produced, in, outLen);
        } else {
            ELzmaStatus status;
            const auto* src = static_cast<const Byte*>(in);
            const SRes res = method_ == kLzma
                                 ? LzmaDec_DecodeToBuf(&lzma_, dest + produced, &outLen, src,
                                                       &inUsed, LZMA_FINISH_ANY, &status)
                                 : Lzma2Dec_DecodeToBuf(&lzma2_, dest + produced, &outLen, src,
                                                        &inUsed, LZMA_FINISH_ANY, &status);
            if (res != SZ_OK)
                return res;
        }
        if (inUsed > 0) {
            const SRes res = ILookInStream_Skip(stream_, inUsed);
            if (res != SZ_OK)
                return res;
        }
        packLeft_ -= inUsed;
        produced += outLen;
        coderLeft_ -= outLen;
        // Neither input consumed nor output made: the block ends too early.
        if (inUsed == 0 && outLen == 0)
            return SZ_ERROR_DATA;
    }
    *size = produced;
    return SZ_OK;
}

SRes BlockDecoder::Read(UInt64 size, const Sink& sink) {
    if (!Active())
        return SZ_ERROR_FAIL;
    while (size > 0) {
        if (ready_ == readyEnd_) {
            // Bytes the filter holds back move to the front and wait for more.
            const size_t held = filled_ - readyEnd_;
            std::memmove(buffer_.data(), buffer_.data() + readyEnd_, held);
            ready_ = readyEnd_ = 0;
            filled_ = held;
            size_t room = buffer_.size() - filled_;
            const SRes res = Produce(buffer_.data() + filled_, &room);
            if (res != SZ_OK)
                return res;
            filled_ += room;
            if (!filter_ || coderLeft_ == 0) {
                // Without the filter, or at the block's end, everything is final;
                // the filter leaves its last few bytes as they are.
                if (filter_)
                    z7_BranchConvSt_X86_Dec(buffer_.data(), filled_, filterPc_, &filterState_);
                readyEnd_ = filled_;
            } else {
                const Byte* end =
                    z7_BranchConvSt_X86_Dec(buffer_.data(), filled_, filterPc_, &filterState_);
                readyEnd_ = static_cast<size_t>(end - buffer_.data());
                if (filled_ - readyEnd_ > kFilterLookahead)
                    return SZ_ERROR_FAIL;
            }
            filterPc_ += static_cast<UInt32>(readyEnd_);
            if (readyEnd_ == 0)
                return SZ_ERROR_DATA;
        }
        const size_t take = static_cast<size_t>(std::min<UInt64>(size, readyEnd_ - ready_));
        if (!sink(buffer_.data() + ready_, take))
            return SZ_ERROR_WRITE;
        ready_ += take;
        size -= take;
        position_ += take;
    }
    return SZ_OK;
}

}  // namespace vorn
