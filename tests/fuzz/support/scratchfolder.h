// A private folder in the system temporary folder with an output folder two
// levels inside, removed with everything in it when the object goes.
#pragma once

#include <string>
#include <vector>

namespace vorn_fuzz {

class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Valid() const { return !root_.empty(); }
    const std::string& Output() const { return output_; }
    // Paths below the root that are neither the output folder, inside it, nor on the way to it.
    std::vector<std::string> Strays() const;
    // Empties the output folder (and removes any stray).
    void Clear();

  private:
    std::string root_;
    std::string output_;
};

}  // namespace vorn_fuzz
