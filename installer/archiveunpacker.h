// The platform-free part of unpacking a 7z archive: reading its tables,
// checking every entry name, decoding, and handing the entries to a target
// that writes them where the platform wants them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "7zTypes.h"

enum ExtractResult : int {
    EXTRACT_OK = 0,
    EXTRACT_NO_INPUT = -1,  // no archive path, or the output folder does not exist
    EXTRACT_FAILED = 1,     // any other failure: nothing may be relied on
};

// The largest block unpacked whole: a 32-bit process seldom finds more
// contiguous address space, and an archive may declare any size.
constexpr uint64_t kWholeBlockLimit = uint64_t(128) << 20;

// Called before each entry with the percent done (0 to 99).
using ExtractProgress = std::function<void(int percent)>;

struct ExtractStats {
    uint64_t peakDecoderBytes = 0;  // largest amount the decoder held at once, failures too
    uint64_t largestBlockBytes = 0;
};

namespace vorn {

// Where the entries go. Paths are relative to the output folder, with
// backslashes, and were checked by MakeEntryRelativePath.
class UnpackTarget {
  public:
    virtual ~UnpackTarget() = default;
    // Creates the folders on the way to relative; false when one of them, or
    // relative itself, is a link that could lead out of the output folder.
    virtual bool PrepareEntry(const std::wstring& relative) = 0;
    virtual void MakeFolder(const std::wstring& relative) = 0;
    // Creates (or replaces) the file; later writes go to it.
    virtual bool BeginFile(const std::wstring& relative) = 0;
    virtual bool Write(const Byte* data, size_t size) = 0;
    // Closes the file begun last; a file not kept is removed. False when the
    // close failed: its data may be lost, so the file is removed as well.
    virtual bool EndFile(bool keep) = 0;
    // The attributes the archive stores for a file (Windows bits, and a Unix
    // mode in the upper half).
    virtual void SetAttributes(const std::wstring& relative, uint32_t attributes) = 0;
    // How the log names the entry's place.
    virtual std::wstring PathForLog(const std::wstring& relative) const = 0;
};

// Unpacks the archive read from stream into target. Every name is checked
// before anything is written; a refused name fails the whole extraction. A
// block that cannot be decoded piece by piece is unpacked whole only up to
// kWholeBlockLimit.
// Returns EXTRACT_OK or EXTRACT_FAILED; memory running out is a failure too.
// archiveName names the archive in the log.
int UnpackArchive(ISeekInStreamPtr stream, UnpackTarget& target, const ExtractProgress& progress,
                  ExtractStats* stats, const std::wstring& archiveName);

}  // namespace vorn
