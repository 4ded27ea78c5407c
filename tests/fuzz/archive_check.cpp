// Unpacks every archive of a folder into its own scratch folder and checks
// the outcome its name announces: "fail-*" must fail, "ok-*" must succeed,
// "any-*" may do either; nothing may ever appear outside the output folder,
// and an archive refused for a name ("fail-name-*") writes no file at all.
//   archive_check FOLDER
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/archiveunpacker.h"
#include "support/memorystream.h"
#include "support/posixtarget.h"
#include "support/scratchfolder.h"

namespace {

std::vector<std::string> ArchivesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".7z") == 0)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_check FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<std::string> names = ArchivesIn(folder);
    if (names.size() < 10) {
        std::fprintf(stderr, "archive_check: only %zu archives in %s\n", names.size(),
                     folder.c_str());
        return 1;
    }
    int wrong = 0, failed = 0;
    for (const std::string& name : names) {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        vorn_fuzz::ScratchFolder scratch;
        if (!scratch.Valid()) {
            std::fprintf(stderr, "archive_check: no scratch folder\n");
            return 1;
        }
        vorn_fuzz::MemoryStream stream(bytes.data(), bytes.size());
        vorn_fuzz::PosixTarget target(scratch.Output());
        const int result =
            vorn::UnpackArchive(stream.Stream(), target, nullptr, nullptr, L"archive");
        const bool ok = result == EXTRACT_OK;
        failed += ok ? 0 : 1;
        std::string verdict = "as announced";
        if (name.compare(0, 5, "fail-") == 0 && ok)
            verdict = "SUCCEEDED, must fail";
        else if (name.compare(0, 3, "ok-") == 0 && !ok)
            verdict = "FAILED, must succeed";
        else if (name.compare(0, 10, "fail-name-") == 0 && target.Files() != 0)
            verdict = "WROTE BEFORE REFUSING A NAME";
        else if (result != EXTRACT_OK && result != EXTRACT_FAILED)
            verdict = "UNKNOWN RESULT";
        for (const std::string& stray : scratch.Strays()) {
            std::printf("  written outside the target: %s\n", stray.c_str());
            verdict = "WROTE OUTSIDE";
        }
        if (verdict != "as announced")
            ++wrong;
        std::printf("%-48s %s (%zu files, %llu bytes) %s\n", name.c_str(), ok ? "ok" : "failed",
                    target.Files(), target.Bytes(), verdict.c_str());
    }
    std::printf("archive_check: %zu archives, %d failed cleanly, %d not as announced\n",
                names.size(), failed, wrong);
    return wrong == 0 ? 0 : 1;
}
