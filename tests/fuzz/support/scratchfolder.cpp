#include "support/scratchfolder.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace vorn_fuzz {
namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

void RemoveTree(const std::string& path) {
    ::nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

ScratchFolder::ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vorn-unpack-XXXXXX";
    if (::mkdtemp(&pattern[0]) == nullptr)
        return;
    root_ = pattern;
    // Two levels down, so that a name climbing out lands where Strays looks.
    output_ = root_ + "/a/b/out";
    if (::mkdir((root_ + "/a").c_str(), 0700) != 0 ||
        ::mkdir((root_ + "/a/b").c_str(), 0700) != 0 || ::mkdir(output_.c_str(), 0700) != 0) {
        RemoveTree(root_);
        root_.clear();
    }
}

ScratchFolder::~ScratchFolder() {
    if (!root_.empty())
        RemoveTree(root_);
}

namespace {

// Every path below folder, but not expected (nor what is below it); a
// folder on the way to expected is not listed itself.
void Collect(const std::string& folder, const std::string& expected,
             std::vector<std::string>& strays) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        if (path == expected)
            continue;
        if (expected.compare(0, path.size() + 1, path + "/") == 0)
            Collect(path, expected, strays);
        else
            strays.push_back(path);
    }
    ::closedir(dir);
}

}  // namespace

std::vector<std::string> ScratchFolder::Strays() const {
    std::vector<std::string> strays;
    if (!root_.empty())
        Collect(root_, output_, strays);
    return strays;
}

void ScratchFolder::Clear() {
    if (root_.empty())
        return;
    RemoveTree(output_);
    for (const std::string& s : Strays())
        RemoveTree(s);
    ::mkdir(output_.c_str(), 0700);
}

}  // namespace vorn_fuzz
