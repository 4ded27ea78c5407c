// Unpacked entries written below a folder with POSIX calls, as the Windows
// target does with Win32 ones: folders level by level, no way through a link.
#pragma once

#include <string>

#include "installer/archiveunpacker.h"

namespace vorn_fuzz {

class PosixTarget : public vorn::UnpackTarget {
  public:
    explicit PosixTarget(const std::string& folder) : folder_(folder) {}
    ~PosixTarget() override;

    bool PrepareEntry(const std::wstring& relative) override;
    void MakeFolder(const std::wstring& relative) override;
    bool BeginFile(const std::wstring& relative) override;
    bool Write(const Byte* data, size_t size) override;
    bool EndFile(bool keep) override;
    void SetAttributes(const std::wstring&, uint32_t) override {}
    std::wstring PathForLog(const std::wstring& relative) const override { return relative; }

    // Files begun so far, and bytes written.
    size_t Files() const { return files_; }
    unsigned long long Bytes() const { return bytes_; }

  private:
    // folder + relative with "/" for "\", in UTF-8.
    std::string PathOf(const std::wstring& relative) const;

    std::string folder_;
    std::string path_;
    int fd_ = -1;
    size_t files_ = 0;
    unsigned long long bytes_ = 0;
};

}  // namespace vorn_fuzz
